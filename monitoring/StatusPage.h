#pragma once
// The technician's status page (status_page.html), built into the program.

#include <string_view>

namespace velmora::monitoring {

std::string_view StatusPageHtml();

}  // namespace velmora::monitoring
