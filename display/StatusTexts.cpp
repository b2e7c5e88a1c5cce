#include "display/StatusTexts.h"

#include <cstdint>
#include <cstring>

#include "platform/MessageCatalogue.h"

namespace velmora {
namespace {

constexpr char kUnshown = '?';
constexpr std::uint32_t kLargestLatin1 = 0xFF;

}  // namespace

std::string Latin1FromUtf8(const std::string& text) {
  std::string latin1;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // The sequence's length from its lead byte; 0 for a byte that cannot lead one.
    const std::size_t length =
        lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    std::uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
    bool whole = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      whole = (next & 0xC0u) == 0x80u;
      code = code << 6 | (next & 0x3Fu);
    }
    latin1 += whole && code <= kLargestLatin1 ? static_cast<char>(code) : kUnshown;
    i += whole ? length : 1;
  }
  return latin1;
}

std::string Utf8FromLatin1(const std::string& text) {
  std::string utf8;
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

bool IsOneIntegerFormat(const std::string& format) {
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    std::size_t at = i + 1;
    while (at < format.size() && std::strchr("-+ 0#", format[at]) != nullptr) ++at;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
    if (at >= format.size() || (format[at] != 'd' && format[at] != 'i')) return false;
    ++conversions;
    i = at;
  }
  return conversions == 1;
}

bool LoadStatusTexts(const std::string& language, const std::vector<std::string>& folders, StatusTexts& texts,
                     std::string* error) {
  texts = StatusTexts{};
  const std::string path = FindCatalogue(folders, language);
  if (path.empty()) {
    if (language == kOwnLanguage) return true;
    if (error != nullptr) *error = "there is no catalogue for the language '" + language + "'";
    return false;
  }
  MessageCatalogue catalogue;
  if (!catalogue.Read(path, error)) return false;
  for (std::string* text : {&texts.standstill, &texts.slower, &texts.realTime, &texts.invitation, &texts.countdown,
                            &texts.languageName}) {
    const std::string* translation = catalogue.Find(Utf8FromLatin1(*text));
    if (translation == nullptr) continue;
    const std::string shown = Latin1FromUtf8(*translation);
    if ((text == &texts.slower || text == &texts.countdown) && !IsOneIntegerFormat(shown)) continue;
    *text = shown;
  }
  return true;
}

}  // namespace velmora
