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
#include "platform/SerialPort.h"

namespace {

constexpr const char* kUsage = R"(velmora-panel - control panel simulator for the Velmora exhibit

Usage: velmora-panel [--device PATH] [--script FILE] [--quiet-polls]

Without --device a pseudo-terminal is made and its path printed; start the exhibit
with --panel PATH (and --panel-poll to have it poll). With --device PATH the panel
talks on that serial line (9600 baud, 8N1, raw), e.g. one end of a null-modem cable.

It prints every status packet and poll it receives and answers each poll "g" with
the 9-byte reply: button 1, button 2, speed, parameters 1 to 6 (signed bytes). A
status packet "s" sets the panel's knobs to the values it carries.

Keys (standard input, raw mode):
  a  b          press stimulus button 1 / 2 (held for the next reply only)
  1 .. 6        raise parameter 1 .. 6 (up to 20)
  q w e r t z   lower parameter 1 .. 6 (down to 0; y works as z)
  + -           raise / lower the speed (0 .. 30)
  0             knobs back to the exhibit's defaults
  p             print the panel's state
  h ?           this key list
  x  Esc  Ctrl-C  quit

Script (--script FILE): one command per line, "TIME_MS COMMAND", times counted from
the start in ms, lines in time order, "#" starts a comment:
  500 press 1          press button 1 (or 2)
  800 speed 25         set the speed byte (-128 .. 127, not limited like the keys)
  900 param 3 -3       set parameter 3 (-128 .. 127)
  1000 defaults        knobs back to the defaults
  5000 quit            end the simulator

Options:
  --device PATH    use this serial line instead of a new pseudo-terminal
  --script FILE    run these timed commands
  --quiet-polls    do not print each poll, only status packets and changes
  --help           this text
)";

constexpr std::size_t kStatusBytes = 8;
constexpr std::uint8_t kStatusLetter = 's';
constexpr std::uint8_t kPollLetter = 'g';
constexpr int kKeySpeedMax = 30;     // the exhibit's keyboard range for the speed
constexpr int kKeyParamMax = 20;     // and for each parameter
constexpr int kIdleWaitMs = 100;     // longest wait for input when no script event is due

struct PanelState {
  std::array<bool, 2> buttonPressed{};   // released again once a reply carried it
  std::int8_t speed = static_cast<std::int8_t>(velmora::defaultSpeedSetting);
  std::array<std::int8_t, 6> params{};
};

PanelState DefaultState() {
  PanelState state;
  for (std::size_t i = 0; i < state.params.size(); ++i) {
    state.params[i] = static_cast<std::int8_t>(velmora::defaultParams[i]);
  }
  return state;
}

std::string Describe(const PanelState& s) {
  std::ostringstream text;
  text << "buttons " << s.buttonPressed[0] << ' ' << s.buttonPressed[1] << ", speed " << int{s.speed}
       << ", parameters";
  for (std::int8_t p : s.params) text << ' ' << int{p};
  return text.str();
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

// Runs one script command; false for "quit".
bool RunCommand(const std::string& line, PanelState& state) {
  std::istringstream fields(line);
  std::string verb;
  fields >> verb;
  auto signedByte = [](int v) { return static_cast<std::int8_t>(std::clamp(v, -128, 127)); };
  int a = 0;
  int b = 0;
  if (verb == "quit") return false;
  if (verb == "press" && (fields >> a) && (a == 1 || a == 2)) {
    state.buttonPressed[static_cast<std::size_t>(a - 1)] = true;
  } else if (verb == "speed" && (fields >> a)) {
    state.speed = signedByte(a);
  } else if (verb == "param" && (fields >> a >> b) && a >= 1 && a <= 6) {
    state.params[static_cast<std::size_t>(a - 1)] = signedByte(b);
  } else if (verb == "defaults") {
    state = DefaultState();
  } else {
    std::printf("script: cannot understand \"%s\"\n", line.c_str());
    return true;
  }
  std::printf("script: %s -> %s\n", line.c_str(), Describe(state).c_str());
  return true;
}

// Handles one key; false to quit.
bool HandleKey(char key, PanelState& state) {
  static constexpr char kLowerKeys[] = "qwertz";
  auto step = [](std::int8_t& v, int by, int max) {
    v = static_cast<std::int8_t>(std::clamp(v + by, 0, max));
  };
  if (key == 'y') key = 'z';
  if (key == 'x' || key == 0x1B || key == 0x03) return false;
  if (key == 'a' || key == 'b') {
    state.buttonPressed[key == 'a' ? 0 : 1] = true;
  } else if (key >= '1' && key <= '6') {
    step(state.params[static_cast<std::size_t>(key - '1')], +1, kKeyParamMax);
  } else if (const char* at = std::strchr(kLowerKeys, key); at != nullptr && key != 0) {
    step(state.params[static_cast<std::size_t>(at - kLowerKeys)], -1, kKeyParamMax);
  } else if (key == '+' || key == '=') {
    step(state.speed, +1, kKeySpeedMax);
  } else if (key == '-') {
    step(state.speed, -1, kKeySpeedMax);
  } else if (key == '0') {
    state = DefaultState();
  } else if (key == 'h' || key == '?') {
    std::printf("%s", kUsage);
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
  std::string device;
  std::string scriptPath;
  bool quietPolls = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return 0;
    } else if (arg == "--device" && i + 1 < argc) {
      device = argv[++i];
    } else if (arg == "--script" && i + 1 < argc) {
      scriptPath = argv[++i];
    } else if (arg == "--quiet-polls") {
      quietPolls = true;
    } else {
      std::fprintf(stderr, "velmora-panel: unknown option %s (see --help)\n", arg.c_str());
      return 2;
    }
  }
  std::vector<ScriptCommand> script;
  if (!scriptPath.empty() && !ReadScript(scriptPath, script)) return 2;

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Line line;
  if (!OpenLine(device, line)) return 1;
  const bool keysFromTerminal = isatty(STDIN_FILENO) != 0;
  RawKeyboard keyboard;
  if (keysFromTerminal) std::printf("Keys: a b buttons, 1-6 / qwertz parameters, + - speed, 0 defaults, h help, x quit\r\n");

  PanelState state = DefaultState();
  std::vector<std::uint8_t> pending;  // received bytes not yet understood
  std::size_t nextCommand = 0;
  long polls = 0;
  const auto start = std::chrono::steady_clock::now();
  bool running = true;
  while (running) {
    const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    while (nextCommand < script.size() && script[nextCommand].atMs <= nowMs) {
      running = RunCommand(script[nextCommand++].command, state) && running;
    }
    if (!running) break;
    int waitMs = kIdleWaitMs;
    if (nextCommand < script.size()) waitMs = static_cast<int>(std::clamp<std::int64_t>(script[nextCommand].atMs - nowMs, 0, kIdleWaitMs));

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

    while (!pending.empty()) {
      if (pending[0] == kPollLetter) {
        pending.erase(pending.begin());
        ++polls;
        const std::uint8_t reply[9] = {
            static_cast<std::uint8_t>(state.buttonPressed[0] ? 1 : 0),
            static_cast<std::uint8_t>(state.buttonPressed[1] ? 1 : 0),
            static_cast<std::uint8_t>(state.speed),
            static_cast<std::uint8_t>(state.params[0]), static_cast<std::uint8_t>(state.params[1]),
            static_cast<std::uint8_t>(state.params[2]), static_cast<std::uint8_t>(state.params[3]),
            static_cast<std::uint8_t>(state.params[4]), static_cast<std::uint8_t>(state.params[5])};
        if (!WriteAll(line, reply, sizeof reply)) {
          std::printf("line: cannot answer, the exhibit's end is gone\r\n");
        }
        if (!quietPolls || state.buttonPressed[0] || state.buttonPressed[1]) {
          std::printf("poll %ld -> reply %s\r\n", polls, Describe(state).c_str());
        }
        state.buttonPressed = {false, false};
      } else if (pending[0] == kStatusLetter) {
        if (pending.size() < kStatusBytes) break;
        state.speed = static_cast<std::int8_t>(pending[1]);
        for (std::size_t i = 0; i < 6; ++i) state.params[i] = static_cast<std::int8_t>(pending[2 + i]);
        std::printf("status packet: exhibit at its defaults, speed %d, parameters %d %d %d %d %d %d\r\n",
                    int{state.speed}, int{state.params[0]}, int{state.params[1]}, int{state.params[2]},
                    int{state.params[3]}, int{state.params[4]}, int{state.params[5]});
        pending.erase(pending.begin(), pending.begin() + kStatusBytes);
      } else {
        std::printf("stray byte 0x%02X\r\n", pending[0]);
        pending.erase(pending.begin());
      }
    }
  }
  if (line.fd >= 0) close(line.fd);
  if (line.keepOpenFd >= 0) close(line.keepOpenFd);
  return 0;
}
