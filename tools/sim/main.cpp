// velmora-sim: runs the network without a screen and prints every firing; see --help.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "display/GlyphCache.h"
#include "platform/ProgramVersion.h"
#include "tools/sim/Raster.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/SimOutput.h"
#include "tools/sim/SimPictures.h"
#include "tools/sim/SimRun.h"

namespace {

using namespace velmora;
using namespace velmora::sim;

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "velmora-sim: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const ParseOutcome parsed = ParseSimArguments(arguments);
  if (parsed.status == ParseStatus::kHelp) {
    std::fputs(SimHelpText().c_str(), stdout);
    return 0;
  }
  if (parsed.status == ParseStatus::kVersion) {
    std::fputs(velmora::VersionLine("velmora-sim").c_str(), stdout);
    return 0;
  }
  if (parsed.status == ParseStatus::kError) return Fail(parsed.message + " (see --help)", kBadArgumentsExitCode);
  const SimOptions& options = parsed.options;

  PictureStyle pictureStyle;
  pictureStyle.background = options.labeledPicture ? PictureBackground::kLabeled : PictureBackground::kPlain;
  pictureStyle.screenWidthPixels = options.pictureWidthPixels;
  pictureStyle.screenHeightPixels = options.pictureHeightPixels;
  pictureStyle.fit = options.letterboxPicture ? SharpFit::kLetterbox : SharpFit::kFill;
  if (std::string error; !LoadStatusTexts(options.language, CatalogueFolders(), pictureStyle.texts, &error)) {
    return Fail("--language: " + error + " (see --help)", kBadArgumentsExitCode);
  }

  if (!options.geometryPath.empty() && !WriteTextFile(options.geometryPath, BuildGeometryCsv())) {
    return Fail("cannot write " + options.geometryPath, kExitRunFailed);
  }

  if (!options.imagesDirectory.empty()) {
    std::string error;
    if (!WriteBuiltInImages(options.imagesDirectory, &error)) return Fail(error, kExitRunFailed);
  }

  std::FILE* csv = nullptr;
  if (!options.csvPath.empty()) {
    csv = std::fopen(options.csvPath.c_str(), "wb");
    if (csv == nullptr) return Fail("cannot write " + options.csvPath, kExitRunFailed);
    std::fputs(CsvHeader().c_str(), csv);
  }

  RunSinks sinks;
  sinks.onFiring = [](const Firing& firing) { std::fputs(FormatFiringLine(firing).c_str(), stdout); };
  if (csv != nullptr) sinks.onStep = [csv](const StepRow& row) { std::fputs(FormatCsvRow(row).c_str(), csv); };
  bool pictureFailed = false;
  std::string pictureError;
  if (!options.picturePath.empty()) {
    sinks.onFinished = [&](Model& model) {
      pictureFailed = !WriteFramePicture(model, pictureStyle, options.picturePath, &pictureError);
    };
  }

  RunRecord record;
  const RunStatus status = RunSimulation(options, sinks, record);
  const bool stdoutOk = std::fflush(stdout) == 0 && !std::ferror(stdout);
  const bool csvOk = csv == nullptr || (!std::ferror(csv) && std::fclose(csv) == 0);

  if (status == RunStatus::kStalled) {
    return Fail("the step no longer moves the model's time on; --until cannot be reached", kExitRunFailed);
  }
  if (!stdoutOk) return Fail("cannot write the firings to standard output", kExitRunFailed);
  if (!csvOk) return Fail("cannot write " + options.csvPath, kExitRunFailed);
  if (pictureFailed) return Fail(pictureError, kExitRunFailed);

  if (!options.rasterPath.empty()) {
    bool written = false;
    if (options.rasterPath.ends_with(".png")) {
      // Without the font (it says why) the raster is still drawn, without its texts.
      const std::unique_ptr<GlyphCache> font = GlyphCache::Load();
      written = WriteRasterPng(record, font.get(), options.rasterPath);
    } else {
      written = WriteTextFile(options.rasterPath, BuildRasterSvg(record));
    }
    if (!written) return Fail("cannot write " + options.rasterPath, kExitRunFailed);
  }
  return 0;
}
