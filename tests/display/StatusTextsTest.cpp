// The status line in other languages: the catalogues the build compiles from po/, a
// catalogue a museum might add, and files that are no catalogue.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "display/FrameComposition.h"
#include "display/StatusTexts.h"
#include "platform/MessageCatalogue.h"

namespace velmora {
namespace {

const std::vector<std::string> kBuiltCatalogues = {VELMORA_LOCALE_BUILD_DIR};

// A compiled catalogue as msgfmt lays it out: header, the originals' and the
// translations' tables, then the strings, each ending in NUL.
std::string CatalogueBytes(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::vector<std::uint32_t> words = {0x950412DEu, 0, static_cast<std::uint32_t>(entries.size()), 28,
                                      static_cast<std::uint32_t>(28 + 8 * entries.size()), 0, 0};
  std::string strings;
  const std::size_t stringsAt = 28 + 16 * entries.size();
  std::vector<std::uint32_t> originals, translations;
  for (auto* table : {&originals, &translations}) {
    for (const auto& [original, translation] : entries) {
      const std::string& text = table == &originals ? original : translation;
      table->push_back(static_cast<std::uint32_t>(text.size()));
      table->push_back(static_cast<std::uint32_t>(stringsAt + strings.size()));
      strings += text + '\0';
    }
  }
  words.insert(words.end(), originals.begin(), originals.end());
  words.insert(words.end(), translations.begin(), translations.end());
  std::string bytes;
  for (const std::uint32_t word : words) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((word >> (8 * i)) & 0xFFu);
  }
  return bytes + strings;
}

const std::pair<std::string, std::string> kUtf8Header = {"", "Content-Type: text/plain; charset=UTF-8\n"};

TEST(StatusLanguages, EveryBuiltCatalogueTranslatesTheThreeTextsAndKeepsTheFactor) {
  const std::vector<std::string> languages = CatalogueLanguages(kBuiltCatalogues);
  ASSERT_GE(languages.size(), 2u);
  const StatusTexts german;
  for (const std::string& language : languages) {
    SCOPED_TRACE(language);
    StatusTexts texts;
    std::string error;
    ASSERT_TRUE(LoadStatusTexts(language, kBuiltCatalogues, texts, &error)) << error;
    // A text left German is one the catalogue lacks or whose factor's format it broke.
    const bool own = language == kOwnLanguage;
    EXPECT_EQ(texts.standstill == german.standstill, own);
    EXPECT_EQ(texts.slower == german.slower, own);
    EXPECT_EQ(texts.realTime == german.realTime, own);
    EXPECT_NE(StatusText(1.0f / 26.5f, texts).find("26"), std::string::npos);
  }
}

TEST(StatusLanguages, GermanStaysByteForByteAndEnglishAppearsWithItsCatalogue) {
  StatusTexts german, english;
  ASSERT_TRUE(LoadStatusTexts("de", kBuiltCatalogues, german, nullptr));
  ASSERT_TRUE(LoadStatusTexts("en", kBuiltCatalogues, english, nullptr));
  const struct {
    float speed;
    const char* english;
  } cases[] = {{0.0f, "Speed: stopped!"},
               {1.0f / 26.5f, "Speed: slowed down 26 times"},
               {1.0f / 1300.5f, "Speed: slowed down 1300 times"},
               {1.0f, "Speed: as fast as in real life!"}};
  for (const auto& c : cases) {
    EXPECT_EQ(StatusText(c.speed, german), StatusText(c.speed));
    EXPECT_EQ(StatusText(c.speed, english), c.english);
  }
}

TEST(StatusLanguages, TheOwnLanguageNeedsNoCatalogueAnyOtherOne) {
  StatusTexts texts;
  std::string error;
  EXPECT_TRUE(LoadStatusTexts(kOwnLanguage, {"/nonexistent"}, texts, &error));
  EXPECT_EQ(texts.standstill, StatusTexts{}.standstill);
  EXPECT_FALSE(LoadStatusTexts("fr", kBuiltCatalogues, texts, &error));
  EXPECT_NE(error.find("'fr'"), std::string::npos);
  EXPECT_FALSE(LoadStatusTexts("../en", kBuiltCatalogues, texts, &error));
}

TEST(StatusLanguages, AnAddedCatalogueIsShownInLatin1AndABrokenFactorFormatStaysGerman) {
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "velmora_added_language";
  std::filesystem::create_directories(folder / "fr" / "LC_MESSAGES");
  const StatusTexts german;
  std::ofstream(folder / "fr" / "LC_MESSAGES" / "velmora.mo", std::ios::binary)
      << CatalogueBytes({kUtf8Header,
                         {german.standstill, "Vitesse : z\xC3\xA9ro \xE2\x80\x94 !"},
                         {german.slower, "Vitesse : %s fois plus lente"},
                         {german.realTime, "Vitesse : r\xC3\xA9\x65lle !"}});
  EXPECT_EQ(CatalogueLanguages({folder.string()}), std::vector<std::string>{"fr"});
  StatusTexts texts;
  std::string error;
  ASSERT_TRUE(LoadStatusTexts("fr", {folder.string()}, texts, &error)) << error;
  EXPECT_EQ(texts.standstill, "Vitesse : z\xE9ro ? !");
  EXPECT_EQ(texts.slower, german.slower);
  EXPECT_EQ(texts.realTime, "Vitesse : r\xE9\x65lle !");
}

TEST(StatusLanguages, OnlyFormatsWithOneIntegerConversionAreUsed) {
  const struct {
    const char* format;
    bool usable;
  } cases[] = {{"% 3i mal", true}, {"%d%% slower", true}, {"x %-4d", true}, {"no number", false},
               {"%s", false},      {"%i and %i", false},  {"%n%i", false},  {"%5.2f", false},
               {"ends in %", false}, {"%lli", false}};
  for (const auto& c : cases) EXPECT_EQ(IsOneIntegerFormat(c.format), c.usable) << c.format;
}

TEST(MessageCatalogue, RefusesFilesThatAreNoWellFormedUtf8Catalogue) {
  const std::string good = CatalogueBytes({kUtf8Header, {"Null", "Zero"}});
  MessageCatalogue catalogue;
  std::string error;
  ASSERT_TRUE(catalogue.Parse(good, &error)) << error;
  ASSERT_NE(catalogue.Find("Null"), nullptr);
  EXPECT_EQ(*catalogue.Find("Null"), "Zero");
  EXPECT_EQ(catalogue.Find("Eins"), nullptr);

  const std::pair<const char*, std::function<std::string()>> broken[] = {
      {"too short", [&] { return good.substr(0, 12); }},
      {"another magic", [&] { return std::string("\x12\x34\x56\x78") + good.substr(4); }},
      {"tables beyond the end", [&] { std::string b = good; b[8] = '\x7F'; return b; }},
      {"a string beyond the end", [&] { return good.substr(0, good.size() - 3); }},
      {"a string without its NUL", [&] { std::string b = good; b.back() = 'x'; return b; }},
      {"Latin-1 texts",
       [] { return CatalogueBytes({{"", "Content-Type: text/plain; charset=ISO-8859-1\n"}, {"a", "b"}}); }},
      {"no header", [] { return CatalogueBytes({{"a", "b"}}); }},
  };
  for (const auto& [what, bytes] : broken) {
    EXPECT_FALSE(catalogue.Parse(bytes(), &error)) << what;
    EXPECT_EQ(catalogue.Find("Null"), nullptr) << what;
  }
}

}  // namespace
}  // namespace velmora
