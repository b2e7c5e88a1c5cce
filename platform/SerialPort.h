#pragma once
// A serial line opened non-blocking on POSIX termios, for the exhibit's use alone.
// Transfers are started and then only checked: nothing here ever waits for the line.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include <termios.h>

namespace velmora {

// What a non-blocking transfer call found on the line.
enum class LineStatus {
  Ok,        // bytes moved, or nothing to move yet
  HungUp,    // the other end went away (read gave 0, EIO, or a hang-up)
};

// Why the last Open failed.
enum class SerialOpenFailure {
  None,          // it opened
  Missing,       // no such device
  NoPermission,  // the user may not open it (not in the device's group)
  Busy,          // in use by another program, or by another port of this one
  Other,
};

// The UUCP lock file that marks the device in use: "/var/lock/LCK.." and the device's
// real path below /dev with '/' as '_' (LCK..ttyUSB0, LCK..pts_3).
std::string SerialLockFilePath(const std::string& devicePath);

class SerialPort {
public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens an existing device for reading and writing, non-blocking, not as the
  // controlling terminal, and takes a terminal for exclusive use. False when it cannot
  // be opened or is in use; OpenFailure() then says which, and errno is set (EBUSY
  // when in use). A lock file whose process has ended does not make it in use, whoever
  // owns the file.
  bool Open(const std::string& devicePath);
  SerialOpenFailure OpenFailure() const { return openFailure_; }
  // What the last Open found of a stale lock file (one whose process has ended), and
  // whether it was removed or kept; empty when there was none.
  const std::string& StaleLockFileNote() const { return staleLockNote_; }
  // With a Busy failure: which lock the other program holds the line by, if known.
  const std::string& BusyNote() const { return busyNote_; }
  // Reads the line's current settings. False when there is no line or they cannot be read.
  bool RetrieveState();
  // 9600 baud, 8 data bits, no parity, 1 stop bit, raw bytes; every other setting as
  // the retrieved state had it. False when the settings cannot be written.
  bool ApplyExhibitSettings();
  // Reads the line's settings back: true when they are 9600 baud 8N1 in both directions.
  bool HasExhibitSettings() const;
  // Discards anything that has arrived and not been read yet.
  void DiscardInput();
  // Aborts bytes still waiting to go out.
  void AbortOutput();
  // Gives the device up, and with it every lock taken on it.
  void Close();

  bool IsOpen() const { return fd_ >= 0; }

  // Writes as much of `bytes` as the line takes now; `written` gets the count.
  LineStatus WriteSome(std::span<const std::uint8_t> bytes, std::size_t& written);
  // Reads whatever has arrived, at most `buffer.size()` bytes; `received` gets the count.
  LineStatus ReadSome(std::span<std::uint8_t> buffer, std::size_t& received);

private:
  int fd_ = -1;
  std::string lockFilePath_;  // the lock file this port made; empty if none
  bool exclusive_ = false;    // this port put the terminal in exclusive mode (TIOCEXCL)
  SerialOpenFailure openFailure_ = SerialOpenFailure::None;
  std::string staleLockNote_;
  std::string busyNote_;
  bool stateRetrieved_ = false;
  termios state_{};  // as retrieved; the exhibit's settings are applied on top of it
};

}  // namespace velmora
