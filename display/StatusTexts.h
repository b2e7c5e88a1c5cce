#pragma once
// The texts the exhibit shows in one language: the status line's three, the invitation
// to touch, the countdown before the reset and the language's own name (which the
// language button shows). The program's own texts are German
// and need no catalogue; any other language comes from its compiled catalogue
// (po/<language>.po, see platform/MessageCatalogue.h), converted to the Latin-1
// character set the drawing contexts set text in.

#include <string>
#include <vector>

#include "platform/MessageCatalogue.h"

namespace velmora {

struct StatusTexts {
  std::string standstill = "Geschwindigkeit: Null!";
  // printf format with exactly one integer conversion: the slow-down factor (2 or more).
  std::string slower = "Geschwindigkeit: % 3i mal so langsam wie in Wirklichkeit";
  std::string realTime = "Geschwindigkeit: wie in Wirklichkeit!";
  // Fades in and out over the picture after an idle reset, until someone touches it.
  std::string invitation = "Tippe auf ein Dreieck: die Nervenzellen antworten!";
  // printf format with exactly one integer conversion: the seconds left before the idle reset.
  std::string countdown = "Neustart in %i s";
  std::string languageName = "Deutsch";  // in the language itself
};

// The texts for `language` from the first of `folders` that has its catalogue. The
// own language needs none; a text its catalogue leaves out stays German, and so does
// a slow-down or countdown text whose translation does not keep exactly one integer
// conversion.
// False, with the reason in `error`, if the language has no catalogue or it cannot
// be read.
bool LoadStatusTexts(const std::string& language, const std::vector<std::string>& folders, StatusTexts& texts,
                     std::string* error);

// UTF-8 to Latin-1; a character outside Latin-1, or a broken sequence, becomes '?'.
std::string Latin1FromUtf8(const std::string& text);

// Latin-1 to UTF-8, as the catalogues key their texts.
std::string Utf8FromLatin1(const std::string& text);

// True if `format` holds exactly one integer conversion (%d or %i, with flags and a
// width) and no other conversion but "%%": safe to hand to printf with one int.
bool IsOneIntegerFormat(const std::string& format);

}  // namespace velmora
