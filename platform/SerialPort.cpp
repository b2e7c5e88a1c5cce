#include "platform/SerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {
namespace {

// The panel's line: 9600 baud, 8N1.
constexpr speed_t kPanelBaud = B9600;

}  // namespace

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(const std::string& devicePath) {
  Close();
  fd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  return fd_ >= 0;
}

bool SerialPort::RetrieveState() {
  stateRetrieved_ = fd_ >= 0 && ::tcgetattr(fd_, &state_) == 0;
  return stateRetrieved_;
}

bool SerialPort::ApplyExhibitSettings() {
  if (fd_ < 0 || !stateRetrieved_) return false;
  termios settings = state_;
  // Raw bytes: no echo, no line editing, no character translation. cfmakeraw leaves
  // VMIN at 1, so an empty non-blocking read reports EAGAIN rather than the 0 that
  // means the other end hung up.
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, kPanelBaud) != 0 || ::cfsetospeed(&settings, kPanelBaud) != 0) {
    return false;
  }
  return ::tcsetattr(fd_, TCSANOW, &settings) == 0;
}

bool SerialPort::HasExhibitSettings() const {
  termios settings{};
  if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) return false;
  return ::cfgetispeed(&settings) == kPanelBaud && ::cfgetospeed(&settings) == kPanelBaud &&
         (settings.c_cflag & CSIZE) == CS8 && (settings.c_cflag & (PARENB | CSTOPB)) == 0;
}

void SerialPort::DiscardInput() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void SerialPort::AbortOutput() {
  if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

void SerialPort::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  stateRetrieved_ = false;
}

LineStatus SerialPort::WriteSome(std::span<const std::uint8_t> bytes, std::size_t& written) {
  written = 0;
  if (fd_ < 0 || bytes.empty()) return LineStatus::Ok;
  const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
  if (n >= 0) {
    written = static_cast<std::size_t>(n);
    return LineStatus::Ok;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return LineStatus::Ok;
  return LineStatus::HungUp;
}

LineStatus SerialPort::ReadSome(std::span<std::uint8_t> buffer, std::size_t& received) {
  received = 0;
  if (fd_ < 0 || buffer.empty()) return LineStatus::Ok;
  const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
  if (n > 0) {
    received = static_cast<std::size_t>(n);
    return LineStatus::Ok;
  }
  // With VMIN at 1 an empty line gives EAGAIN; 0 is end of file, the other end gone.
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return LineStatus::Ok;
  return LineStatus::HungUp;
}

}  // namespace velmora
