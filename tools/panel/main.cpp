// velmora-panel: a stand-in for the exhibit's hardware control panel. It shows what
// the exhibit sends (status packets and polls) and answers every poll with a reply
// built from its own buttons and knobs, which the user turns with keys or a script.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/Defaults.h"
#include "platform/PanelProtocol.h"
#include "platform/ProgramVersion.h"
#include "platform/SerialPort.h"
#include "tools/panel/PanelOptions.h"

namespace {

constexpr int kKeySpeedMax = 30;     // the exhibit's keyboard range for the speed
constexpr int kKeyParamMax = 20;     // and for each parameter
constexpr int kIdleWaitMs = 100;     // longest wait for input when no script event is due

using velmora::kPanelValueMax;
using velmora::kPanelValueMin;
using velmora::PanelReplyValues;
using velmora::PanelSettings;

// The buttons (released again once a reply carried them) and the knobs, each within
// the line's signed byte.
using PanelState = PanelReplyValues;

PanelState DefaultState() {
  PanelState state;
  state.settings.speed = static_cast<std::int32_t>(velmora::defaultSpeedSetting);
  for (std::size_t i = 0; i < state.settings.params.size(); ++i) state.settings.params[i] = velmora::defaultParams[i];
  return state;
}

std::string DescribeSettings(const PanelSettings& settings) {
  std::ostringstream text;
  text << "speed " << settings.speed << ", parameters";
  for (std::int32_t p : settings.params) text << ' ' << p;
  return text.str();
}

std::string Describe(const PanelState& s) {
  return std::string("buttons ") + (s.button1 ? "1" : "0") + ' ' + (s.button2 ? "1" : "0") + ", " +
         DescribeSettings(s.settings);
}

struct ScriptCommand {
  std::int64_t atMs = 0;
  std::string command;
};

bool ReadScript(const std::string& path, std::vector<ScriptCommand>& out) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "velmora-panel: cannot read %s\n", path.c_str());
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    ScriptCommand command;
    if (!(fields >> command.atMs)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      std::fprintf(stderr, "velmora-panel: %s:%d: expected a time in ms\n", path.c_str(), number);
      return false;
    }
    std::getline(fields >> std::ws, command.command);
    out.push_back(command);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const ScriptCommand& a, const ScriptCommand& b) { return a.atMs < b.atMs; });
  return true;
}

enum class ScriptStep { kGoOn, kWaitForStatus, kQuit };

// Runs one script command.
ScriptStep RunCommand(const std::string& line, PanelState& state) {
  std::istringstream fields(line);
  std::string verb;
  fields >> verb;
  auto signedByte = [](int v) { return std::clamp(v, kPanelValueMin, kPanelValueMax); };
  int a = 0;
  int b = 0;
  std::string what;
  if (verb == "quit") return ScriptStep::kQuit;
  if (verb == "wait" && (fields >> what) && what == "status") {
    std::printf("script: %s\n", line.c_str());
    return ScriptStep::kWaitForStatus;
  }
  if (verb == "press" && (fields >> a) && (a == 1 || a == 2)) {
    (a == 1 ? state.button1 : state.button2) = true;
  } else if (verb == "speed" && (fields >> a)) {
    state.settings.speed = signedByte(a);
  } else if (verb == "param" && (fields >> a >> b) && a >= 1 && a <= 6) {
    state.settings.params[static_cast<std::size_t>(a - 1)] = signedByte(b);
  } else if (verb == "defaults") {
    state = DefaultState();
  } else {
    std::printf("script: cannot understand \"%s\"\n", line.c_str());
    return ScriptStep::kGoOn;
  }
  std::printf("script: %s -> %s\n", line.c_str(), Describe(state).c_str());
  return ScriptStep::kGoOn;
}

// Handles one key; false to quit.
bool HandleKey(char key, PanelState& state) {
  static constexpr char kLowerKeys[] = "qwertz";
  auto step = [](std::int32_t& v, int by, int max) { v = std::clamp(v + by, 0, max); };
  if (key == 'y') key = 'z';
  if (key == 'x' || key == 0x1B || key == 0x03) return false;
  if (key == 'a' || key == 'b') {
    (key == 'a' ? state.button1 : state.button2) = true;
  } else if (key >= '1' && key <= '6') {
    step(state.settings.params[static_cast<std::size_t>(key - '1')], +1, kKeyParamMax);
  } else if (const char* at = std::strchr(kLowerKeys, key); at != nullptr && key != 0) {
    step(state.settings.params[static_cast<std::size_t>(at - kLowerKeys)], -1, kKeyParamMax);
  } else if (key == '+' || key == '=') {
    step(state.settings.speed, +1, kKeySpeedMax);
  } else if (key == '-') {
    step(state.settings.speed, -1, kKeySpeedMax);
  } else if (key == '0') {
    state = DefaultState();
  } else if (key == 'h' || key == '?') {
    std::printf("%s", velmora::panel::PanelHelpText().c_str());
    return true;
  } else if (key != 'p') {
    return true;
  }
  std::printf("panel: %s\r\n", Describe(state).c_str());
  return true;
}

// Raw keys on a terminal; the terminal's own settings come back at the end.
class RawKeyboard {
public:
  RawKeyboard() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    cfmakeraw(&raw);
    raw.c_oflag |= OPOST;  // keep "\n" starting a new line in what we print
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~RawKeyboard() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  RawKeyboard(const RawKeyboard&) = delete;
  RawKeyboard& operator=(const RawKeyboard&) = delete;

private:
  termios saved_{};
  bool active_ = false;
};

struct Line {
  int fd = -1;          // where the exhibit's bytes arrive and replies go
  int keepOpenFd = -1;  // the pseudo-terminal's exhibit end, held so it never hangs up
  velmora::SerialPort port;
};

bool OpenLine(const std::string& device, Line& line) {
  if (device.empty()) {
    char name[256] = {};
    if (openpty(&line.fd, &line.keepOpenFd, name, nullptr, nullptr) != 0) {
      std::perror("velmora-panel: openpty");
      return false;
    }
    termios raw{};
    tcgetattr(line.keepOpenFd, &raw);
    cfmakeraw(&raw);
    tcsetattr(line.keepOpenFd, TCSANOW, &raw);
    std::printf("Panel line: %s\n(start the exhibit with --panel %s --panel-poll)\n", name, name);
    return true;
  }
  if (!line.port.Open(device) || !line.port.RetrieveState() || !line.port.ApplyExhibitSettings()) {
    std::fprintf(stderr, "velmora-panel: cannot open %s as a serial line\n", device.c_str());
    return false;
  }
  return true;
}

bool WriteAll(Line& line, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    ssize_t n = -1;
    if (line.fd >= 0) {
      n = write(line.fd, bytes, count);
    } else {
      std::size_t written = 0;
      if (line.port.WriteSome({bytes, count}, written) == velmora::LineStatus::HungUp) return false;
      n = static_cast<ssize_t>(written);
    }
    if (n < 0) return false;
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using velmora::panel::PanelCommandLine;
  const PanelCommandLine parsed = velmora::panel::ParsePanelArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.action == PanelCommandLine::Action::kHelp) {
    std::printf("%s", velmora::panel::PanelHelpText().c_str());
    return 0;
  }
  if (parsed.action == PanelCommandLine::Action::kVersion) {
    std::printf("%s", velmora::VersionLine("velmora-panel").c_str());
    return 0;
  }
  if (parsed.action == PanelCommandLine::Action::kError) {
    std::fprintf(stderr, "velmora-panel: %s (see --help)\n", parsed.error.c_str());
    return velmora::kBadArgumentsExitCode;
  }
  const velmora::panel::PanelOptions& options = parsed.options;
  std::vector<ScriptCommand> script;
  if (!options.scriptPath.empty() && !ReadScript(options.scriptPath, script)) return velmora::kBadArgumentsExitCode;

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Line line;
  if (!OpenLine(options.devicePath, line)) return 1;
  const bool keysFromTerminal = isatty(STDIN_FILENO) != 0;
  RawKeyboard keyboard;
  if (keysFromTerminal) std::printf("Keys: a b buttons, 1-6 / qwertz parameters, + - speed, 0 defaults, h help, x quit\r\n");

  PanelState state = DefaultState();
  std::vector<std::uint8_t> pending;  // received bytes not yet understood
  std::size_t nextCommand = 0;
  bool waitingForStatus = false;  // the script holds until a status packet arrives
  long polls = 0;
  const auto start = std::chrono::steady_clock::now();
  bool running = true;
  while (running) {
    const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    while (running && !waitingForStatus && nextCommand < script.size() && script[nextCommand].atMs <= nowMs) {
      const ScriptStep step = RunCommand(script[nextCommand++].command, state);
      running = step != ScriptStep::kQuit;
      waitingForStatus = step == ScriptStep::kWaitForStatus;
    }
    if (!running) break;
    int waitMs = kIdleWaitMs;
    if (!waitingForStatus && nextCommand < script.size()) {
      waitMs = static_cast<int>(std::clamp<std::int64_t>(script[nextCommand].atMs - nowMs, 0, kIdleWaitMs));
    }

    const int lineFd = line.fd >= 0 ? line.fd : -1;
    pollfd fds[2] = {{lineFd, POLLIN, 0}, {keysFromTerminal ? STDIN_FILENO : -1, POLLIN, 0}};
    if (lineFd < 0) {
      // A serial device: no descriptor to wait on through SerialPort, so read it each round.
      poll(&fds[1], 1, std::min(waitMs, 10));
    } else {
      poll(fds, 2, waitMs);
    }

    if (fds[1].revents & POLLIN) {
      char key = 0;
      if (read(STDIN_FILENO, &key, 1) == 1) running = HandleKey(key, state);
    }

    std::uint8_t buffer[256];
    std::size_t received = 0;
    if (line.fd >= 0) {
      if (fds[0].revents & POLLIN) {
        const ssize_t n = read(line.fd, buffer, sizeof buffer);
        if (n > 0) received = static_cast<std::size_t>(n);
      }
    } else if (line.port.ReadSome(buffer, received) == velmora::LineStatus::HungUp) {
      std::printf("line: hung up\r\n");
      break;
    }
    pending.insert(pending.end(), buffer, buffer + received);

    while (const auto message = velmora::FirstPanelMessage(pending)) {
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(message->lengthBytes));
      switch (message->kind) {
        case velmora::PanelMessage::Kind::kPoll: {
          ++polls;
          const velmora::PanelReply reply = velmora::EncodeReply(state);
          if (!WriteAll(line, reply.data(), reply.size())) {
            std::printf("line: cannot answer, the exhibit's end is gone\r\n");
          }
          if (!options.quietPolls || state.button1 || state.button2) {
            std::printf("poll %ld -> reply %s\r\n", polls, Describe(state).c_str());
          }
          state.button1 = state.button2 = false;
          break;
        }
        case velmora::PanelMessage::Kind::kStatusPacket:
          state.settings = message->status;
          waitingForStatus = false;
          std::printf("status packet: exhibit at its defaults, %s\r\n", DescribeSettings(state.settings).c_str());
          break;
        case velmora::PanelMessage::Kind::kStrayByte:
          std::printf("stray byte 0x%02X\r\n", message->strayByte);
          break;
      }
    }
  }
  if (line.fd >= 0) close(line.fd);
  if (line.keepOpenFd >= 0) close(line.keepOpenFd);
  return 0;
}
