#include "tools/sim/SimOutput.h"

#include <cstdio>

#include "model/NetworkTables.h"

namespace velmora::sim {
namespace {

// Long enough for any line these functions write: a name, four 32-bit or float fields.
constexpr std::size_t kLineBytes = 160;

}  // namespace

std::string FormatFiringLine(const Firing& firing) {
  char line[kLineBytes];
  std::snprintf(line, sizeof line, "%.6g %d %d\n", static_cast<double>(firing.timeMs), firing.soma, firing.note);
  return line;
}

std::string CsvHeader() { return "step,time,s1,s2,s3\n"; }

std::string FormatCsvRow(const StepRow& row) {
  char line[kLineBytes];
  std::snprintf(line, sizeof line, "%lld,%.9g,%.9g,%.9g,%.9g\n", static_cast<long long>(row.step),
                static_cast<double>(row.timeMs), static_cast<double>(row.summedInput[0]),
                static_cast<double>(row.summedInput[1]), static_cast<double>(row.summedInput[2]));
  return line;
}

std::string BuildGeometryCsv() {
  std::string csv = "element,index,x,y,nx,ny\n";
  char line[kLineBytes];
  for (const PathTable& path : kPathTables) {
    for (std::int32_t i = 0; i < path.count; ++i) {
      const PathPoint& point = path.points[i];
      std::snprintf(line, sizeof line, "%s,%d,%d,%d,%.6f,%.6f\n", path.name, i, point.x, point.y,
                    static_cast<double>(point.nx), static_cast<double>(point.ny));
      csv += line;
    }
  }
  return csv;
}

}  // namespace velmora::sim
