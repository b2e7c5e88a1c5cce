#pragma once
// Modal message boxes for the exhibit's start-up failures. With a display they are
// SDL message boxes that wait for OK; headless (or when no box can be shown) the
// message goes to standard error and nothing waits.

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

void ShowMessageBox(std::string_view caption, std::string_view text);

// Headless runs never show a box: every message goes to standard error.
void SetMessageBoxesHeadless(bool headless);

// Tests see every message shown, in order, as "caption: text".
void RecordMessageBoxes(std::vector<std::string>* record);

}  // namespace velmora
