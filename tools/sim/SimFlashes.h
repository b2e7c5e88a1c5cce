#pragma once
// The flash analysis of a run: every frame composed as the exhibit shows it (the sharp
// picture at the screen's resolution, or the classic one as it is scaled up) and handed
// to the flash counter, with the viewer the options describe.

#include <string>

#include "tools/sim/FlashAnalysis.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/SimPictures.h"
#include "tools/sim/SimRun.h"

namespace velmora::sim {

struct FlashReport {
  ViewingGeometry viewer;
  bool sharp = false;            // the sharp picture; false: the classic one
  int frameWidthPixels = 0;      // the analysed frames
  int frameHeightPixels = 0;
  double screenPixelsPerFramePixel = 1.0;
  FlashField field;              // in frame pixels
  FlashCounts counts;
};

// Runs the simulation as the options say, composing every frame in `style`. False,
// with the reason in `error`, when the pictures cannot be made; `status` tells
// whether the run finished.
bool AnalyseFlashes(const SimOptions& options, const PictureStyle& style, FlashReport& report, RunStatus& status,
                    std::string* error);

// The report's lines for standard output.
std::string FormatFlashReport(const FlashReport& report);

}  // namespace velmora::sim
