#pragma once
// The curator's report as one self-contained HTML page: the figures of the table
// output with charts the program draws itself as inline SVG (interactions per day,
// a week-by-hour heat map, visits and their lengths, resets by cause, uptime and
// crashes), for each exhibit and for the fleet. No script, no font, no picture from
// elsewhere: it opens offline in any browser and prints as it shows.

#include <string>
#include <vector>

#include "monitoring/UsageReport.h"

namespace velmora::monitoring {

struct UsageHtmlPage {
  std::vector<UsageReport> exhibits;
  const UsageReport* fleet = nullptr;  // with several exhibits: their sum
  std::vector<std::string> notes;      // files left out and why, shown at the top
  std::string madeAt;                  // when the report was made, local time
};

std::string FormatUsageHtml(const UsageHtmlPage& page);

}  // namespace velmora::monitoring
