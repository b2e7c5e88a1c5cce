#include "platform/MessageCatalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace velmora {
namespace {

// The file's first word, as written on a machine of either byte order.
constexpr std::uint32_t kMagic = 0x950412DEu;
constexpr std::uint32_t kMagicSwapped = 0xDE120495u;
// Header words: magic, revision, count, originals' table, translations' table.
constexpr std::size_t kHeaderWords = 5;
constexpr std::size_t kWordBytes = 4;
// Major revisions msgfmt writes (the minor one only adds plural-form details).
constexpr std::uint32_t kLargestMajorRevision = 1;

std::uint32_t Word(std::string_view bytes, std::size_t at, bool swapped) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < kWordBytes; ++i) {
    const auto byte = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    value |= swapped ? byte << (8 * (kWordBytes - 1 - i)) : byte << (8 * i);
  }
  return value;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The charset the header entry names; empty if it names none.
std::string HeaderCharset(const std::string& header) {
  const std::string lower = Lower(header);
  const std::size_t at = lower.find("charset=");
  if (at == std::string::npos) return {};
  const std::size_t start = at + std::string_view("charset=").size();
  const std::size_t end = lower.find_first_of(" ;\n", start);
  return lower.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

}  // namespace

bool MessageCatalogue::Read(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot read " + path;
    return false;
  }
  std::string bytes(kMaxCatalogueBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > kMaxCatalogueBytes) {
    if (error != nullptr) *error = path + " is larger than " + std::to_string(kMaxCatalogueBytes) + " bytes";
    return false;
  }
  std::string reason;
  if (Parse(bytes, &reason)) return true;
  if (error != nullptr) *error = path + ": " + reason;
  return false;
}

bool MessageCatalogue::Parse(std::string_view bytes, std::string* error) {
  const auto fail = [&](const char* why) {
    if (error != nullptr) *error = why;
    translations.clear();
    return false;
  };
  translations.clear();
  if (bytes.size() < kHeaderWords * kWordBytes) return fail("too short for a message catalogue");
  const std::uint32_t magic = Word(bytes, 0, false);
  if (magic != kMagic && magic != kMagicSwapped) return fail("not a compiled message catalogue");
  const bool swapped = magic == kMagicSwapped;
  if (Word(bytes, 4, swapped) >> 16 > kLargestMajorRevision) {
    return fail("a catalogue revision this program does not know");
  }
  const std::uint64_t count = Word(bytes, 8, swapped);
  const std::uint64_t originals = Word(bytes, 12, swapped);
  const std::uint64_t translated = Word(bytes, 16, swapped);
  const std::uint64_t tableBytes = count * 2 * kWordBytes;
  if (originals + tableBytes > bytes.size() || translated + tableBytes > bytes.size()) {
    return fail("its string tables lie outside the file");
  }
  // Each entry: length and offset of a string, which ends in a NUL byte.
  const auto entry = [&](std::uint64_t table, std::uint64_t index, std::string_view& text) {
    const std::uint64_t length = Word(bytes, static_cast<std::size_t>(table + index * 8), swapped);
    const std::uint64_t offset = Word(bytes, static_cast<std::size_t>(table + index * 8 + 4), swapped);
    if (offset + length >= bytes.size() || bytes[static_cast<std::size_t>(offset + length)] != '\0') return false;
    text = bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    return true;
  };
  std::string charset;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::string_view original, translation;
    if (!entry(originals, i, original) || !entry(translated, i, translation)) {
      return fail("a string lies outside the file");
    }
    if (original.empty()) {
      charset = HeaderCharset(std::string(translation));
      continue;
    }
    // A plural entry keeps its forms NUL-separated; the singular is the first.
    translations.emplace(std::string(original.substr(0, original.find('\0'))),
                         std::string(translation.substr(0, translation.find('\0'))));
  }
  if (charset != "utf-8" && charset != "ascii" && charset != "us-ascii") {
    return fail("its texts are not in UTF-8 (set charset=UTF-8 in the .po file's header)");
  }
  return true;
}

const std::string* MessageCatalogue::Find(std::string_view original) const {
  const auto found = translations.find(std::string(original));
  if (found == translations.end() || found->second.empty()) return nullptr;
  return &found->second;
}

bool IsLanguageName(std::string_view language) {
  const auto lowerLetters = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  };
  const auto upperLetters = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  };
  const std::size_t underscore = language.find('_');
  const std::string_view base = language.substr(0, underscore);
  if (base.size() < 2 || base.size() > 3 || !lowerLetters(base)) return false;
  if (underscore == std::string_view::npos) return true;
  const std::string_view region = language.substr(underscore + 1);
  return region.size() == 2 && upperLetters(region);
}

std::vector<std::string> CatalogueFolders() {
  std::vector<std::string> folders;
  if (const std::string program = ProgramFolder(); !program.empty()) {
    folders.push_back((std::filesystem::path(program).parent_path() / "share" / "locale").string());
  }
  folders.emplace_back(VELMORA_INSTALL_LOCALEDIR);
  return folders;
}

std::string FindCatalogue(const std::vector<std::string>& folders, const std::string& language) {
  if (!IsLanguageName(language)) return {};
  for (const std::string& folder : folders) {
    const std::filesystem::path path =
        std::filesystem::path(folder) / language / "LC_MESSAGES" / (std::string(kCatalogueDomain) + ".mo");
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path.string();
  }
  return {};
}

std::vector<std::string> CatalogueLanguages(const std::vector<std::string>& folders) {
  std::set<std::string> languages;
  for (const std::string& folder : folders) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const std::string language = it->path().filename().string();
      if (IsLanguageName(language) && !FindCatalogue({folder}, language).empty()) languages.insert(language);
    }
  }
  return {languages.begin(), languages.end()};
}

}  // namespace velmora
