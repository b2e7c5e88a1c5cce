#pragma once
// The program's texts in other languages: compiled message catalogues (.mo files, as
// msgfmt makes them from the .po files in po/), read directly. No locale of the
// system is involved: the language is the one asked for, whatever the environment.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

// The language the programs' texts are written in: it needs no catalogue, and it is
// the one they speak unless told otherwise.
inline constexpr const char* kOwnLanguage = "de";

// The catalogues' name: <folder>/<language>/LC_MESSAGES/velmora.mo.
inline constexpr const char* kCatalogueDomain = "velmora";
// Largest catalogue file read, bytes: the program has a handful of texts, so a
// larger file is no catalogue of it.
inline constexpr std::size_t kMaxCatalogueBytes = 1024 * 1024;

class MessageCatalogue {
public:
  // Reads a compiled catalogue. False, with the reason in `error`, if the file cannot
  // be read or is no well-formed catalogue in UTF-8.
  bool Read(const std::string& path, std::string* error);
  // The same from the file's bytes.
  bool Parse(std::string_view bytes, std::string* error);

  // The UTF-8 translation of `original`, or null when the catalogue has none.
  const std::string* Find(std::string_view original) const;

private:
  std::unordered_map<std::string, std::string> translations;
};

// A language name as the catalogues' folders take it: two or three lower-case
// letters, optionally '_' and a two-letter upper-case region ("de", "pt_BR").
bool IsLanguageName(std::string_view language);

// Where catalogues are looked for, in order: the share/locale folder beside the
// program's own folder (the installation, and the build tree, which lays them out
// the same way), then the installation's locale folder fixed at build time.
std::vector<std::string> CatalogueFolders();

// The path of `language`'s catalogue in the first of `folders` that has one; empty
// if none has.
std::string FindCatalogue(const std::vector<std::string>& folders, const std::string& language);

// The languages that have a catalogue in any of `folders`, sorted, each once.
std::vector<std::string> CatalogueLanguages(const std::vector<std::string>& folders);

}  // namespace velmora
