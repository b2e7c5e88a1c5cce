#include "shell/ExhibitMonitor.h"

#include <cstdio>
#include <utility>

#include "display/DisplayConstants.h"
#include "shell/Exhibit.h"

namespace velmora {
namespace {

void Complain(const std::string& text) { std::fprintf(stderr, "velmora: %s\n", text.c_str()); }

monitoring::UsageStoreConfig StoreConfig(const ExhibitOptions& options, const std::string& version) {
  monitoring::UsageStoreConfig config;
  if (options.usageDatabase.empty()) {
    config.path = monitoring::DefaultUsageDatabasePath();
    if (config.path.empty()) {
      Complain("usage statistics: neither XDG_STATE_HOME nor HOME is set, so they are not recorded (--usage-db FILE)");
    }
  } else if (options.usageDatabase != "off") {
    config.path = options.usageDatabase;
  }
  config.version = version;
  config.exhibitName = options.exhibitName;
  config.keepDays = options.usageKeepDays;
  if (options.usageCommitIntervalMs) config.commitInterval = std::chrono::milliseconds(*options.usageCommitIntervalMs);
  config.report = [](const std::string& text) { Complain("usage statistics: " + text); };
  return config;
}

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
  server = std::make_unique<monitoring::StatusServer>(address, std::move(token), *exchange, actions, std::move(run),
                                                      &store);
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
  monitoring::ExhibitSnapshot& status = exhibit.status;
  status.Frame(framesSeen ? std::chrono::duration<double>(end - lastFrameEnd).count() : 0.0);
  lastFrameEnd = end;
  framesSeen = true;
  exhibit.RefreshStatus(report.flipped);
  status.displayLosses = display.RestoresDone();
  if (!server) return;
  exchange->Publish(status);
  if (!report.flipped || !exchange->PictureWanted()) return;
  if (SharpDisplay* sharp = display.Sharp()) {
    // The sharp picture as shown, at the screen's size; the copy is made only when
    // the server asks, at most a few times a second.
    if (sharp->Screenshot(sharpPicture)) exchange->OfferPicture(sharpPicture.pixels, sharpPicture.width, sharpPicture.height);
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
