#pragma once
// The simulator's text outputs: firing lines, the per-step CSV and the geometry CSV.

#include <string>

#include "tools/sim/SimRun.h"

namespace velmora::sim {

// "<time> <soma> <note>\n", time with up to six significant digits ("38 1 4").
std::string FormatFiringLine(const Firing& firing);

// "step,time,s1,s2,s3\n"
std::string CsvHeader();
// One CSV row; time and summed inputs with nine significant digits, so that each float
// reads back exactly.
std::string FormatCsvRow(const StepRow& row);

// Every point of the 23 stored paths, A1 .. A17 then D1 .. D6, unscaled, under the
// header "element,index,x,y,nx,ny"; normals with six decimals.
std::string BuildGeometryCsv();

}  // namespace velmora::sim
