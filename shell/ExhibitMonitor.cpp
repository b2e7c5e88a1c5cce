#include "shell/ExhibitMonitor.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "display/DisplayConstants.h"
#include "shell/Exhibit.h"
#include "shell/OptionsInEffect.h"

namespace velmora {
namespace {

void Complain(const std::string& text) { std::fprintf(stderr, "velmora: %s\n", text.c_str()); }

monitoring::UsageStoreConfig StoreConfig(const ExhibitOptions& options, const std::string& version) {
  monitoring::UsageStoreConfig config;
  config.path = UsageDatabaseOf(options);
  if (options.usageDatabase.empty() && config.path.empty()) {
    Complain("usage statistics: neither XDG_STATE_HOME nor HOME is set, so they are not recorded (--usage-db FILE)");
  }
  config.version = version;
  config.exhibitName = options.exhibitName;
  config.keepDays = options.usageKeepDays;
  if (options.usageCommitIntervalMs) config.commitInterval = std::chrono::milliseconds(*options.usageCommitIntervalMs);
  config.report = [](const std::string& text) { Complain("usage statistics: " + text); };
  return config;
}

// The most pixels of the sharp picture one frame copies for the status server: a
// 1920 x 1080 picture (8 MB, 1 to 2 ms here) in one frame; a 3840 x 2160 one in four.
// Copied whole, a 3840 x 2160 picture lengthened its frame by 4 to 8 ms.
constexpr std::size_t kPictureCopyPixelsPerFrame = 1920 * 1080;

// How the server's address reads in a URL.
std::string UrlHost(const std::string& host) { return host.find(':') == std::string::npos ? host : "[" + host + "]"; }

}  // namespace

ExhibitMonitor::ExhibitMonitor(const ExhibitOptions& options, monitoring::RunInfo run)
    : store(StoreConfig(options, run.version)) {
  monitoring::ListenAddress address;
  std::string error;
  // The command line has checked the address already.
  if (!monitoring::ParseListenAddress(options.statusListen, address, error) || address.off) return;
  std::string token;
  if (!options.statusTokenFile.empty() && !monitoring::LoadAccessToken(options.statusTokenFile, token, error)) {
    Complain("status server: " + error + "; it allows no actions");
  }
  exchange = std::make_unique<monitoring::SnapshotExchange>(kScreenWidthPixels, kScreenHeightPixels);
  server = std::make_unique<monitoring::StatusServer>(
      monitoring::StatusServerSetup{address, std::move(token), options.statusHosts, {}}, *exchange, actions,
      std::move(run), &store);
  if (!server->Start(error)) {
    Complain(error + "; the exhibit runs without it");
    server.reset();
    exchange.reset();
    return;
  }
  std::fprintf(stderr, "velmora: status server on http://%s:%u/\n", UrlHost(address.host).c_str(),
               static_cast<unsigned>(server->Port()));
}

ExhibitMonitor::~ExhibitMonitor() { Finish(); }

void ExhibitMonitor::AddStartupMessage(std::string_view text) {
  if (server) server->AddStartupMessage(std::string(text));
}

void ExhibitMonitor::BeforeFrame(Exhibit& exhibit) {
  actions.Drain([&exhibit](monitoring::ExhibitAction action) { exhibit.ApplyRemoteAction(action); });
}

void ExhibitMonitor::AfterFrame(Exhibit& exhibit, const FrameReport& report, ExhibitDisplay& display) {
  const auto end = std::chrono::steady_clock::now();
  exhibit.RefreshStatus(report.flipped, framesSeen ? std::chrono::duration<double>(end - lastFrameEnd).count() : 0.0,
                        display.RestoresDone());
  lastFrameEnd = end;
  framesSeen = true;
  const monitoring::ExhibitSnapshot& status = exhibit.Status();
  if (!server) return;
  exchange->Publish(status);
  if (!exchange->PictureWanted()) {
    sharpPictureRow = 0;  // a copy under way was given up by the server
    return;
  }
  if (!report.flipped) return;
  if (SharpDisplay* sharp = display.Sharp()) {
    // The sharp picture as shown, at the screen's size; the copy is made only when
    // the server asks, at most a few times a second, into storage the server made.
    const std::size_t pixels = static_cast<std::size_t>(sharp->Width()) * static_cast<std::size_t>(sharp->Height());
    if (!exchange->LendPictureStorage(sharpPicture.pixels, pixels)) return;
    if (sharpPicture.width != sharp->Width() || sharpPicture.height != sharp->Height()) {
      // A new size (or the first picture): the copy starts again from the top.
      sharpPicture.width = sharp->Width();
      sharpPicture.height = sharp->Height();
      sharpPictureRow = 0;
    }
    // The storage the server lends has the picture's size already (no fill here).
    sharpPicture.pixels.resize(pixels);
    // A large picture is copied a band of rows a frame, so that no frame pays for all
    // of it; the bands come from consecutive frames, at most a few frames apart.
    const int rowsPerFrame = std::max(1, static_cast<int>(kPictureCopyPixelsPerFrame / sharpPicture.width));
    const int rows = std::min(rowsPerFrame, sharpPicture.height - sharpPictureRow);
    if (sharp->CopyRows(sharpPicture, sharpPictureRow, rows)) {
      sharpPictureRow += rows;
      if (sharpPictureRow < sharpPicture.height) return;
    } else if (!sharp->Screenshot(sharpPicture)) {
      return;  // nothing composed yet
    }
    sharpPictureRow = 0;
    exchange->OfferPicture(sharpPicture.pixels, sharpPicture.width, sharpPicture.height);
    return;
  }
  const SDL_Surface* picture = display.Classic().BackBuffer();
  if (picture != nullptr && picture->w == exchange->Width() && picture->h == exchange->Height()) {
    exchange->OfferPicture(static_cast<const std::uint16_t*>(picture->pixels), static_cast<std::size_t>(picture->pitch));
  }
}

void ExhibitMonitor::Finish() {
  if (server) server->Stop();
  store.RunEnded();
}

}  // namespace velmora
