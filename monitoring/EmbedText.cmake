# Writes a C++ source whose function returns a text file's content, so a page is
# served from the program itself. Run with -DINPUT=file -DOUTPUT=file.cpp
# -DFUNCTION=name -DHEADER=include/path.h.
file(READ "${INPUT}" content)
set(delimiter "velmora_embedded")
string(FIND "${content}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw string's delimiter")
endif()
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.
#include \"${HEADER}\"

namespace velmora::monitoring {

std::string_view ${FUNCTION}() {
  static constexpr char kText[] = R\"${delimiter}(${content})${delimiter}\";
  return {kText, sizeof kText - 1};
}

}  // namespace velmora::monitoring
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
