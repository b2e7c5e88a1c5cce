#include "shell/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>

#include "platform/CommandLineApp.h"
#include "platform/Keys.h"
#include "shell/MessageLog.h"
#include "platform/MessageCatalogue.h"
#include "platform/ScreenPlacement.h"
#include "platform/MidiTranspose.h"
#include "platform/SynthVolume.h"

namespace velmora {
namespace {

constexpr std::size_t kBytesPerMebibyte = 1024 * 1024;
constexpr std::uint32_t kMsPerSecond = 1000;
// Refresh rates --refresh takes, Hz: from cinema's rate to the fastest common screens'.
constexpr std::int64_t kLowestRefreshHz = 24;
constexpr std::int64_t kHighestRefreshHz = 240;

// A whole number from `minimum` to `maximum`, digits only.
bool ParseCount(std::string_view text, std::int64_t minimum, std::int64_t maximum, std::int64_t& value) {
  std::int64_t parsed = 0;
  const char* end = text.data() + text.size();
  const auto [rest, status] = std::from_chars(text.data(), end, parsed);
  if (status != std::errc() || rest != end || parsed < minimum || parsed > maximum) return false;
  value = parsed;
  return true;
}

bool ParseFrame(std::string_view text, std::int64_t& frame) { return ParseCount(text, 1, kMaxFrameNumber, frame); }

const std::string kFrameRange = "from 1 to " + std::to_string(kMaxFrameNumber);

// A whole number from `minimum` to `maximum`; a leading + is taken, as for a transposition.
bool ParseWithin(std::string_view text, std::int64_t minimum, std::int64_t maximum, std::int64_t& value) {
  if (text.starts_with('+')) text.remove_prefix(1);
  return ParseCount(text, minimum, maximum, value);
}

// Reads no more than one chunk beyond the limit, so an endless file ends the read too.
// Empty when the file is fine, else what is wrong with it. `what` names the script.
std::string ReadScriptFile(const std::string& path, std::string& text, const std::string& what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot read the " + what + " " + path;
  text.clear();
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxKeyScriptBytes) {
      return "the " + what + " " + path + " is larger than " + std::to_string(kMaxKeyScriptBytes) + " bytes";
    }
  }
  if (in.bad()) return "cannot read the " + what + " " + path;
  return {};
}

// A script given inline or as @FILE; empty when fine, else what is wrong.
std::string ScriptText(const std::string& value, std::string& script, const std::string& what) {
  script = value;
  if (!value.starts_with('@')) return {};
  return ReadScriptFile(value.substr(1), script, what);
}

// The entries of a script: runs of characters between blanks, tabs and line breaks.
std::vector<std::string_view> ScriptEntries(std::string_view script) {
  std::vector<std::string_view> entries;
  std::size_t position = 0;
  while (position < script.size()) {
    const std::size_t start = script.find_first_not_of(" \t\r\n", position);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(script.find_first_of(" \t\r\n", start), script.size());
    entries.push_back(script.substr(start, end - start));
    position = end;
  }
  return entries;
}

// Widest screen a touch is taken on, mm: larger than any video wall.
constexpr double kWidestScreenMm = 100'000.0;

// The option texts as given, before they are checked.
struct Given {
  bool windowed = false, modeSwitch = false, headless = false, busyWait = false;
  bool listMidiPorts = false, panelPoll = false, selfTest = false, testNote = false;
  bool unattended = false;
  std::optional<std::string> frames, recordKeys, frameLog, midiOut, soundfont, recordMidi, panel;
  std::vector<std::string> keys, screenshots;
  bool classic = false, letterbox = false, noVsync = false;
  std::optional<std::string> size, refresh, language;
  bool showPointer = false;
  std::optional<std::string> rotate, screenWidthMm, countdown, invitation, languages;
  std::vector<std::string> touches;
  std::optional<std::string> statusListen, statusTokenFile, usageDb, usageCommitInterval, usageKeepDays, exhibitName;
  std::vector<std::string> statusHosts;
  std::optional<std::string> transpose, volume;
};

// Every option of the exhibit, in the order --help lists them.
void AddOptions(CommandLineApp& app, Given& given) {
  const std::string display = "Display";
  app.Flag(display, "--windowed", "a 1024 x 768 window instead of full screen", given.windowed);
  app.Flag(display, "--mode-switch", "full screen by switching the monitor to 1024 x 768", given.modeSwitch);
  app.Exclusive("--windowed", "--mode-switch");
  app.Flag(display, "--headless", "no display (SDL's dummy driver); messages go to standard error", given.headless);
  app.Flag(display, "--unattended",
           "no message box waits for a click: messages go to standard error and onto the exhibit's screen for " +
               std::to_string(kNoticeShownMs / kMsPerSecond) + " s (implied when started by a service manager)",
           given.unattended);
  app.Flag(display, "--classic",
           "the 1024 x 768 picture scaled up to the screen, pixel for pixel as ever, instead of the sharp "
           "picture drawn at the screen's resolution",
           given.classic);
  app.Flag(display, "--letterbox", "black bars beside the sharp picture instead of the painted ground", given.letterbox);
  app.Value(display, "--size", "WxH",
            "with --headless: a pretend screen of W x H pixels with the sharp picture (screenshots are taken at "
            "it); sides 320 to 7680 pixels, at most 7680 x 4320 pixels in all; without it a headless run shows "
            "the classic picture",
            given.size);
  app.Flag(display, "--no-vsync", "present frames without waiting for the screen's vertical blank", given.noVsync);
  app.Value(display, "--refresh", "HZ",
            "full screen in a display mode with this refresh rate at the screen's size (" +
                std::to_string(kLowestRefreshHz) + " to " + std::to_string(kHighestRefreshHz) +
                "; e.g. 50, which shows every frame for one refresh), where the screen offers one",
            given.refresh);
  app.Value(display, "--language", "LANG",
            "the language of the texts on screen: de (default), en, or any other with a catalogue", given.language);
  app.Value(display, "--rotate", "0|90|180|270",
            "turn the picture (and the touches) clockwise, for a screen mounted in portrait or upside down",
            given.rotate);
  const std::string touch = "Touch screen and mouse";
  app.Value(touch, "--languages", "LANG,LANG,...",
            "a button on screen switches between these languages (each with a catalogue; the first, or "
            "--language, shows first)",
            given.languages);
  app.Value(touch, "--screen-width-mm", "MM",
            "the screen's width, for touch targets of at least 15 mm where the display reports no size",
            given.screenWidthMm);
  app.Flag(touch, "--show-pointer", "keep the mouse pointer visible over the picture", given.showPointer);
  app.Value(touch, "--countdown", "on|off", "the countdown in the last 10 s before the idle reset (default on)",
            given.countdown);
  app.Value(touch, "--invitation", "on|off",
            "the invitation to touch the screen after the idle reset (default on)", given.invitation);
  const std::string runs = "Runs for tests and demonstrations";
  app.Value(runs, "--frames", "N", "end as if Esc were pressed after N frames (1 to " +
            std::to_string(kMaxFrameNumber) + ")", given.frames);
  app.Repeatable(runs, "--keys", "SCRIPT",
                 "key presses before given frames,\ne.g. \"10:1 12:F1 40:Esc\"; @FILE reads them from a file of at most " +
                     std::to_string(kMaxKeyScriptBytes / kBytesPerMebibyte) + " MiB",
                 given.keys);
  app.Repeatable(runs, "--touches", "SCRIPT",
                 "touches before given frames, FRAME:FINGER:down|move|up:X:Y in screen pixels (FINGER 0 to " +
                     std::to_string(kMaxScriptFinger) + "),\ne.g. "
                 "\"10:1:down:960:540 12:1:up:960:540\"; @FILE reads them from a file",
                 given.touches);
  app.Repeatable(runs, "--screenshot", "F:FILE.png", "save the composed picture after frame F", given.screenshots);
  app.Value(runs, "--record-keys", "FILE", "write this run's key presses in the --keys format", given.recordKeys);
  app.Value(runs, "--frame-log", "FILE", "write each frame's start tick and flip time", given.frameLog);
  app.Flag(runs, "--busy-wait", "pace frames by polling the clock only (uses a whole core)", given.busyWait);
  const std::string sound = "Sound";
  app.Value(sound, "--midi-out", "synth|none|port:NAME",
            "the built-in synthesiser (default), silence, or a MIDI port", given.midiOut);
  app.Value(sound, "--soundfont", "FILE", "the synthesiser's soundfont", given.soundfont);
  app.Value(sound, "--record-midi", "FILE.mid", "write every MIDI message sent as a Standard MIDI File",
            given.recordMidi);
  app.Value(sound, "--transpose", "N",
            "play every note N semitones higher (" + std::to_string(kMinTransposeSemitones) + " to " +
                std::to_string(kMaxTransposeSemitones) +
                ", default 0): the neurons' notes lie below what small speakers reproduce, 48 puts them "
                "four octaves up, above 150 Hz; on the synthesiser and on a port alike",
            given.transpose);
  app.Value(sound, "--volume", "0..100",
            "the built-in synthesiser's loudness in percent of its full level (default 100); a limiter keeps "
            "many overlapping notes from clipping at any volume",
            given.volume);
  app.Flag(sound, "--list-midi-ports", "list the MIDI ports and exit", given.listMidiPorts);
  const std::string panel = "Control panel";
  app.Value(panel, "--panel", "DEVICE|none",
            "the panel's serial device (default /dev/ttyS0), or none: no panel, keyboard only", given.panel);
  app.Flag(panel, "--panel-poll", "poll the panel every 100 ms (ignored with --panel none)", given.panelPoll);
  const std::string checks = "Checks";
  app.Flag(checks, "--self-test",
           "check the display, the MIDI output and the panel with the other options given, print one "
           "line per check, and exit (0 when none fails); the exhibit does not start",
           given.selfTest);
  app.Flag(checks, "--test-note", "with --self-test: play a short note on the MIDI output", given.testNote);
  const std::string operators = "Status server and usage statistics";
  app.Value(operators, "--status-listen", "ADDR:PORT|off",
            "where the status server (metrics, status page, picture) listens; default " +
                std::string(monitoring::kDefaultStatusListen) + ", port 0 any free port, off none",
            given.statusListen);
  app.Repeatable(operators, "--status-host", "NAME",
                 "a host name the status server answers to besides localhost and numeric addresses, as browsers "
                 "and Prometheus write it in the address",
                 given.statusHosts);
  app.Value(operators, "--status-token-file", "FILE",
            "the token that allows the server's actions (reset, test note, stimuli); a regular file "
            "readable by its owner only",
            given.statusTokenFile);
  app.Value(operators, "--usage-db", "FILE|off",
            "the usage statistics' SQLite file; default $XDG_STATE_HOME/velmora/usage.sqlite3, off none",
            given.usageDb);
  app.Value(operators, "--usage-keep-days", "DAYS",
            "keep each interaction's time and control for DAYS days (" + std::to_string(monitoring::kMinUsageKeepDays) +
                " to " + std::to_string(monitoring::kMaxUsageKeepDays) + ", default " +
                std::to_string(monitoring::kDefaultUsageKeepDays) +
                "); the counts per quarter hour, visits, resets and runs the reports read are kept",
            given.usageKeepDays);
  app.Value(operators, "--exhibit-name", "NAME",
            "the exhibit's name, stored in its usage file, which velmora-stats reports a fleet's files by (up to " +
                std::to_string(monitoring::kMaxExhibitNameBytes) + " bytes)",
            given.exhibitName);
  app.Value(runs, "--usage-commit-interval", "MS",
            "write the usage statistics every MS ms (" + std::to_string(kMinUsageCommitIntervalMs) + " to " +
                std::to_string(kMaxUsageCommitIntervalMs) + ") instead of every minute",
            given.usageCommitInterval);
  app.Help(checks);
}

// The exhibit's options and where their texts go.
struct ExhibitCommandLine {
  ExhibitCommandLine() { AddOptions(app, given); }
  Given given;
  CommandLineApp app{"velmora",
                     "Runs the exhibit full screen until Esc or F12. Without options it behaves as it\n"
                     "does in the museum.",
                     "Exit status: 0 when the exhibit ended (Esc, F12, --frames or a stop signal) or\n"
                     "every check passed, 1 when it could not be shown or a check failed."};
};

// The options of the picture and its presentation; empty when all are fine, else the
// first complaint.
std::string CheckPicture(const Given& given, ExhibitOptions& options) {
  options.classicPicture = given.classic;
  options.letterbox = given.letterbox;
  options.vsync = !given.noVsync;
  const bool fullScreen = options.screenMode == ScreenMode::FullScreen;
  if (given.size) {
    if (!ParseScreenSize(*given.size, options.pretendWidthPixels, options.pretendHeightPixels)) {
      return "--size needs WIDTHxHEIGHT with " + ScreenSizeLimits() + ", not '" + *given.size + "'";
    }
    if (!given.headless) return "--size is the pretend screen of a --headless run; a real screen has its own size";
  }
  if (given.classic && (given.letterbox || given.size)) {
    return std::string("--classic is the 1024 x 768 picture; ") + (given.letterbox ? "--letterbox" : "--size") +
           " goes with the sharp one";
  }
  if (given.letterbox && !(fullScreen && (!given.headless || given.size))) {
    return "--letterbox goes with the sharp picture: full screen, or --headless with --size";
  }
  if (given.refresh) {
    std::int64_t hz = 0;
    if (!ParseCount(*given.refresh, kLowestRefreshHz, kHighestRefreshHz, hz)) {
      return "--refresh needs a refresh rate from " + std::to_string(kLowestRefreshHz) + " to " +
             std::to_string(kHighestRefreshHz) + " Hz, not '" + *given.refresh + "'";
    }
    if (given.windowed || given.headless) {
      return "--refresh chooses a full-screen display mode; not with --windowed or --headless";
    }
    options.refreshHz = static_cast<int>(hz);
  }
  if (given.language) {
    if (!IsLanguageName(*given.language)) {
      return "--language needs a language name such as de or en, not '" + *given.language + "'";
    }
    options.language = *given.language;
  }
  if (given.languages) {
    std::string_view rest = *given.languages;
    while (true) {
      const std::size_t comma = rest.find(',');
      const std::string name(rest.substr(0, comma));
      if (!IsLanguageName(name) ||
          std::find(options.languages.begin(), options.languages.end(), name) != options.languages.end()) {
        return "--languages needs language names such as de,en, each once, not '" + *given.languages + "'";
      }
      options.languages.push_back(name);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    if (!given.language) {
      options.language = options.languages.front();
    } else if (std::find(options.languages.begin(), options.languages.end(), options.language) ==
               options.languages.end()) {
      return "--language " + options.language + " is not among --languages " + *given.languages;
    }
  }
  if (given.rotate) {
    std::int64_t degrees = 0;
    if (!ParseCount(*given.rotate, 0, 270, degrees) || !IsRotation(static_cast<int>(degrees))) {
      return "--rotate needs 0, 90, 180 or 270, not '" + *given.rotate + "'";
    }
    options.rotationDegrees = static_cast<int>(degrees);
  }
  return {};
}

// The touch screen's options; empty when all are fine, else the first complaint.
std::string CheckTouch(const Given& given, ExhibitOptions& options) {
  options.showPointer = given.showPointer;
  if (given.screenWidthMm) {
    double millimetres = 0.0;
    const char* end = given.screenWidthMm->data() + given.screenWidthMm->size();
    const auto [rest, status] = std::from_chars(given.screenWidthMm->data(), end, millimetres);
    if (status != std::errc() || rest != end || !(millimetres >= 1.0 && millimetres <= kWidestScreenMm)) {
      return "--screen-width-mm needs the screen's width in mm, from 1 to " +
             std::to_string(static_cast<int>(kWidestScreenMm)) + ", not '" + *given.screenWidthMm + "'";
    }
    options.screenWidthMm = millimetres;
  }
  const struct {
    const std::optional<std::string>& given;
    bool& target;
    const char* name;
  } switches[] = {{given.countdown, options.countdown, "--countdown"}, {given.invitation, options.invitation, "--invitation"}};
  for (const auto& option : switches) {
    if (!option.given) continue;
    if (*option.given != "on" && *option.given != "off") {
      return std::string(option.name) + " needs on or off, not '" + *option.given + "'";
    }
    option.target = *option.given == "on";
  }
  for (const std::string& value : given.touches) {
    std::string script;
    if (std::string problem = ScriptText(value, script, "touch script"); !problem.empty()) return problem;
    std::string error;
    if (!ParseTouchScript(script, options.touches, error)) return "--touches: " + error;
  }
  return {};
}

// The checked options; empty when all are fine, else the first complaint.
std::string Check(const Given& given, ExhibitOptions& options) {
  if (given.windowed) options.screenMode = ScreenMode::Windowed;
  if (given.modeSwitch) options.screenMode = ScreenMode::ModeSwitch;
  options.headless = given.headless;
  options.unattended = given.unattended;
  options.busyWait = given.busyWait;
  options.panelPoll = given.panelPoll;
  options.testNote = given.testNote;
  if (given.frames) {
    std::int64_t frames = 0;
    if (!ParseFrame(*given.frames, frames)) {
      return "--frames needs a whole number " + kFrameRange + ", not '" + *given.frames + "'";
    }
    options.frames = frames;
  }
  for (const std::string& value : given.keys) {
    std::string script;
    if (std::string problem = ScriptText(value, script, "key script"); !problem.empty()) return problem;
    std::string error;
    if (!ParseKeyScript(script, options.keys, error)) return "--keys: " + error;
  }
  for (const std::string& value : given.screenshots) {
    const auto colon = value.find(':');
    ScreenshotRequest request;
    if (colon == std::string::npos || !ParseFrame(std::string_view(value).substr(0, colon), request.frame) ||
        colon + 1 == value.size() || !value.ends_with(".png")) {
      return "--screenshot needs FRAME:FILE.png with a frame " + kFrameRange + ", not '" + value + "'";
    }
    request.path = value.substr(colon + 1);
    options.screenshots.push_back(request);
  }
  // Options naming a file or device: any text but an empty one.
  const struct {
    const std::optional<std::string>& given;
    std::string& target;
    const char* complaint;
  } named[] = {
      {given.recordKeys, options.recordKeysPath, "--record-keys needs a file name"},
      {given.frameLog, options.frameLogPath, "--frame-log needs a file name"},
      {given.soundfont, options.soundfont, "--soundfont needs a file name"},
      {given.recordMidi, options.recordMidiPath, "--record-midi needs a file name"},
      {given.panel, options.panelDevice, "--panel needs a device"},
      {given.statusTokenFile, options.statusTokenFile, "--status-token-file needs a file name"},
      {given.usageDb, options.usageDatabase, "--usage-db needs a file name or off"},
  };
  for (const auto& option : named) {
    if (!option.given) continue;
    if (option.given->empty()) return option.complaint;
    option.target = *option.given;
  }
  if (given.midiOut) {
    const std::string& value = *given.midiOut;
    if (value != "synth" && value != "none" && !(value.starts_with("port:") && value.size() > 5)) {
      return "--midi-out needs synth, none or port:NAME, not '" + value + "'";
    }
    options.midiOut = value;
  }
  if (given.transpose) {
    std::int64_t semitones = 0;
    if (!ParseWithin(*given.transpose, kMinTransposeSemitones, kMaxTransposeSemitones, semitones)) {
      return "--transpose needs a whole number of semitones from " + std::to_string(kMinTransposeSemitones) +
             " to " + std::to_string(kMaxTransposeSemitones) + ", not '" + *given.transpose + "'";
    }
    options.transposeSemitones = static_cast<int>(semitones);
  }
  if (given.volume) {
    std::int64_t percent = 0;
    if (!ParseWithin(*given.volume, kMinVolumePercent, kMaxVolumePercent, percent)) {
      return "--volume needs a whole number from " + std::to_string(kMinVolumePercent) + " to " +
             std::to_string(kMaxVolumePercent) + ", not '" + *given.volume + "'";
    }
    options.volumePercent = static_cast<int>(percent);
  }
  if (given.testNote && !given.selfTest) return "--test-note goes with --self-test only";
  if (std::string problem = CheckPicture(given, options); !problem.empty()) return problem;
  if (std::string problem = CheckTouch(given, options); !problem.empty()) return problem;
  if (given.statusListen) {
    monitoring::ListenAddress address;
    std::string error;
    if (!monitoring::ParseListenAddress(*given.statusListen, address, error)) return error;
    options.statusListen = *given.statusListen;
  }
  for (const std::string& name : given.statusHosts) {
    if (!monitoring::IsHostName(name)) {
      return "--status-host needs a host name (letters, digits, hyphens and dots) or an address, not '" + name + "'";
    }
    options.statusHosts.push_back(name);
  }
  if (given.usageCommitInterval) {
    std::int64_t interval = 0;
    if (!ParseCount(*given.usageCommitInterval, kMinUsageCommitIntervalMs, kMaxUsageCommitIntervalMs, interval)) {
      return "--usage-commit-interval needs a whole number of ms from " + std::to_string(kMinUsageCommitIntervalMs) +
             " to " + std::to_string(kMaxUsageCommitIntervalMs) + ", not '" + *given.usageCommitInterval + "'";
    }
    options.usageCommitIntervalMs = interval;
  }
  if (given.usageKeepDays) {
    if (!ParseCount(*given.usageKeepDays, monitoring::kMinUsageKeepDays, monitoring::kMaxUsageKeepDays,
                    options.usageKeepDays)) {
      return "--usage-keep-days needs a whole number of days from " + std::to_string(monitoring::kMinUsageKeepDays) +
             " to " + std::to_string(monitoring::kMaxUsageKeepDays) + ", not '" + *given.usageKeepDays + "'";
    }
  }
  if (given.exhibitName) {
    if (!monitoring::IsExhibitName(*given.exhibitName)) {
      return "--exhibit-name needs a name of 1 to " + std::to_string(monitoring::kMaxExhibitNameBytes) +
             " bytes without control characters, not '" + *given.exhibitName + "'";
    }
    options.exhibitName = *given.exhibitName;
  }
  return {};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  ExhibitCommandLine line;
  const Given& given = line.given;
  std::string error;
  switch (line.app.Parse(arguments, error)) {
    case CommandLineApp::Outcome::kHelp:
      result.action = CommandLineAction::Help;
      return result;
    case CommandLineApp::Outcome::kVersion:
      result.action = CommandLineAction::Version;
      return result;
    case CommandLineApp::Outcome::kError:
      result.action = CommandLineAction::Error;
      result.error = error;
      return result;
    case CommandLineApp::Outcome::kRun:
      break;
  }
  if (std::string problem = Check(given, result.options); !problem.empty()) {
    result.action = CommandLineAction::Error;
    result.error = OneLine(std::move(problem));
  } else if (given.listMidiPorts) {
    result.action = CommandLineAction::ListMidiPorts;
  } else if (given.selfTest) {
    // The self-test takes every other option: it checks what the exhibit would run with.
    result.action = CommandLineAction::SelfTest;
  } else {
    result.givenOptions = line.app.GivenOptions();
  }
  return result;
}

bool ParseKeyScript(std::string_view script, std::vector<KeyPress>& keys, std::string& error) {
  std::vector<KeyPress> parsed;
  for (const std::string_view entry : ScriptEntries(script)) {
    const std::size_t colon = entry.find(':');
    KeyPress press;
    if (colon == std::string_view::npos || !ParseFrame(entry.substr(0, colon), press.frame)) {
      error = "'" + std::string(entry) + "' is not FRAME:KEY with a frame " + kFrameRange;
      return false;
    }
    const auto key = VirtualKeyFromName(entry.substr(colon + 1));
    if (!key) {
      error = "unknown key in '" + std::string(entry) + "'";
      return false;
    }
    press.key = *key;
    parsed.push_back(press);
  }
  keys.insert(keys.end(), parsed.begin(), parsed.end());
  return true;
}

bool ParseTouchScript(std::string_view script, std::vector<TouchStep>& touches, std::string& error) {
  std::vector<TouchStep> parsed;
  for (const std::string_view entry : ScriptEntries(script)) {
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    for (std::size_t colon = entry.find(':'); ; colon = entry.find(':', from)) {
      fields.push_back(entry.substr(from, colon == std::string_view::npos ? std::string_view::npos : colon - from));
      if (colon == std::string_view::npos) break;
      from = colon + 1;
    }
    TouchStep step;
    const auto number = [](std::string_view text, double& value) {
      const auto [rest, status] = std::from_chars(text.data(), text.data() + text.size(), value);
      return status == std::errc() && rest == text.data() + text.size() && value >= 0.0 &&
             value <= kLargestScreenSidePixels;
    };
    const std::string_view phase = fields.size() == 5 ? fields[2] : std::string_view{};
    if (fields.size() != 5 || !ParseFrame(fields[0], step.frame) ||
        !ParseCount(fields[1], 0, kMaxScriptFinger, step.touch.finger) ||
        (phase != "down" && phase != "move" && phase != "up") || !number(fields[3], step.touch.x) ||
        !number(fields[4], step.touch.y)) {
      error = "'" + std::string(entry) + "' is not FRAME:FINGER:down|move|up:X:Y with a frame " + kFrameRange +
              ", a finger from 0 to " + std::to_string(kMaxScriptFinger) + " and X and Y in screen pixels";
      return false;
    }
    step.touch.phase = phase == "down" ? TouchPhase::Down : phase == "move" ? TouchPhase::Move : TouchPhase::Up;
    parsed.push_back(step);
  }
  touches.insert(touches.end(), parsed.begin(), parsed.end());
  return true;
}

std::string FormatKeyScript(const std::vector<KeyPress>& keys) {
  std::string text;
  for (const KeyPress& press : keys) {
    text += std::to_string(press.frame) + ":" + VirtualKeyName(press.key) + "\n";
  }
  return text;
}

std::string UsageText() {
  return ExhibitCommandLine().app.HelpText();
}

}  // namespace velmora
