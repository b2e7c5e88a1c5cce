#include "shell/OptionsInEffect.h"

#include <algorithm>

#include "monitoring/UsageStore.h"
#include "platform/MidiSynth.h"

namespace velmora {

std::vector<monitoring::OptionInEffect> OptionsInEffect(
    const ExhibitOptions& options, const std::vector<std::pair<std::string, std::string>>& given) {
  std::vector<monitoring::OptionInEffect> result;
  const auto wasGiven = [&given](const std::string& name) {
    return std::any_of(given.begin(), given.end(), [&name](const auto& entry) { return entry.first == name; });
  };
  const auto value = [&](const std::string& name, std::string text) {
    result.push_back({name, std::move(text), wasGiven(name)});
  };
  const auto flag = [&](const std::string& name, bool on) {
    if (on) result.push_back({name, {}, wasGiven(name)});
  };

  flag("--windowed", options.screenMode == ScreenMode::Windowed);
  flag("--mode-switch", options.screenMode == ScreenMode::ModeSwitch);
  flag("--headless", options.headless);
  flag("--unattended", options.unattended);
  flag("--classic", options.classicPicture);
  flag("--letterbox", options.letterbox);
  if (options.pretendWidthPixels > 0) {
    value("--size", std::to_string(options.pretendWidthPixels) + "x" + std::to_string(options.pretendHeightPixels));
  }
  flag("--no-vsync", !options.vsync);
  if (options.refreshHz > 0) value("--refresh", std::to_string(options.refreshHz));
  value("--language", options.language);
  if (!options.languages.empty()) {
    std::string list;
    for (const std::string& language : options.languages) list += (list.empty() ? "" : ",") + language;
    value("--languages", list);
  }
  value("--rotate", std::to_string(options.rotationDegrees));
  flag("--show-pointer", options.showPointer);
  if (options.screenWidthMm > 0.0) value("--screen-width-mm", std::to_string(options.screenWidthMm));
  value("--countdown", options.countdown ? "on" : "off");
  value("--invitation", options.invitation ? "on" : "off");
  value("--midi-out", options.midiOut);
  if (options.midiOut == "synth") {
    value("--soundfont", options.soundfont.empty() ? FindDefaultSoundfont() : options.soundfont);
  }
  value("--transpose", std::to_string(options.transposeSemitones));
  if (options.midiOut == "synth") value("--volume", std::to_string(options.volumePercent));
  value("--panel", options.panelDevice);
  flag("--panel-poll", options.panelPoll && PanelChosen(options));
  value("--status-listen", options.statusListen);
  for (const std::string& host : options.statusHosts) value("--status-host", host);
  if (!options.statusTokenFile.empty()) value("--status-token-file", options.statusTokenFile);
  const std::string usage = UsageDatabaseOf(options);
  value("--usage-db", usage.empty() ? "off" : usage);
  if (!usage.empty()) value("--usage-keep-days", std::to_string(options.usageKeepDays));
  if (!options.exhibitName.empty()) value("--exhibit-name", options.exhibitName);

  // The options for tests and demonstrations, as typed.
  for (const auto& option : given) {
    const std::string& name = option.first;
    const bool listed =
        std::any_of(result.begin(), result.end(), [&name](const auto& entry) { return entry.name == name; });
    if (!listed) result.push_back({name, option.second, true});
  }
  return result;
}

monitoring::FittedParts FittedPartsOf(const ExhibitOptions& options) {
  monitoring::FittedParts fitted;
  fitted.panel = PanelChosen(options);
  fitted.midiOutput = options.midiOut != "none";
  fitted.usageFile = !UsageDatabaseOf(options).empty();
  return fitted;
}

std::string UsageDatabaseOf(const ExhibitOptions& options) {
  if (options.usageDatabase == "off") return {};
  return options.usageDatabase.empty() ? monitoring::DefaultUsageDatabasePath() : options.usageDatabase;
}

}  // namespace velmora
