#pragma once
// The hand-over from the exhibit's frame loop to the status server's threads. The
// frame loop never waits here: Publish is wait-free (a triple buffer: the writer and
// the reader each own a slot and swap through a third with one atomic exchange), and
// the picture is copied only when the server has asked for one and only if the
// server is not holding the picture buffer at that moment (try-lock).

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "monitoring/ExhibitSnapshot.h"

namespace velmora::monitoring {

struct PublishedSnapshot {
  ExhibitSnapshot snapshot;
  std::chrono::steady_clock::time_point publishedAt;  // when the frame loop handed it over
  std::uint64_t sequence = 0;                         // 1 for the first hand-over
};

class SnapshotExchange {
public:
  // RGB565 pictures are `width` x `height` pixels (the classic picture); their buffer
  // is allocated here, once. Full-colour pictures come in any size.
  SnapshotExchange(int width, int height);

  // Frame loop (one thread only).
  void Publish(const ExhibitSnapshot& snapshot);
  // True while the server waits for a picture: then the frame loop offers its frame.
  bool PictureWanted() const { return pictureWanted_.load(std::memory_order_relaxed); }
  // Copies the frame (rows of RGB565 pixels, `pitchBytes` apart) if a picture is wanted
  // and the buffer is free at once; otherwise does nothing and a later frame serves.
  void OfferPicture(const std::uint16_t* pixels, std::size_t pitchBytes);
  // Before a full-colour frame is copied into `xrgb`: true when `xrgb` can hold
  // `pixels` without allocating, having been given storage the server's thread made
  // if it could not; false when there is none yet (the server makes it while it waits
  // for the picture, and a later frame serves). A picture of 3840 x 2160 needs 33 MB,
  // whose allocation and first touch would hold up the frame by tens of ms.
  bool LendPictureStorage(std::vector<std::uint32_t>& xrgb, std::size_t pixels);
  // The same for a full-colour frame (0xRRGGBB pixels, `width` x `height`, rows
  // tightly packed), taken by swapping buffers: `xrgb` comes back holding an earlier
  // picture's storage, for the caller to fill again without allocating.
  void OfferPicture(std::vector<std::uint32_t>& xrgb, int width, int height);

  // Server side (any thread).
  // The newest snapshot, or nothing before the first hand-over.
  std::optional<PublishedSnapshot> Latest();
  // Asks the frame loop for a picture and waits at most `timeout` for it; true with
  // the picture as 8-bit RGB rows in `rgb` and its size in pixels, false when no
  // frame offered one in time.
  bool TakePicture(std::vector<std::uint8_t>& rgb, int& width, int& height, std::chrono::milliseconds timeout);

  int Width() const { return width_; }
  int Height() const { return height_; }

private:
  static constexpr std::uint8_t kSlotMask = 0x3;
  static constexpr std::uint8_t kFresh = 0x4;  // the middle slot holds an unread hand-over

  std::array<PublishedSnapshot, 3> slots_;
  std::uint8_t writerSlot_ = 0;               // frame loop's own
  std::atomic<std::uint8_t> middleSlot_{1};   // slot index | kFresh
  std::mutex readerMutex_;                    // the server threads take turns reading
  std::uint8_t readerSlot_ = 2;               // under readerMutex_
  std::uint64_t published_ = 0;               // frame loop's count of hand-overs

  const int width_;
  const int height_;
  std::atomic<bool> pictureWanted_{false};
  std::mutex pictureMutex_;
  std::condition_variable pictureOffered_;
  std::vector<std::uint16_t> picture_;        // RGB565, tightly packed, under pictureMutex_
  std::vector<std::uint32_t> fullColour_;     // 0xRRGGBB, tightly packed, under pictureMutex_
  std::vector<std::uint32_t> spare_;          // made by the server for the frame loop, under pictureMutex_
  std::size_t storageWanted_ = 0;             // pixels the frame loop found no storage for, under pictureMutex_
  int fullColourWidth_ = 0;                   // pixels; 0: the last picture was RGB565
  int fullColourHeight_ = 0;
  std::uint64_t pictureSerial_ = 0;           // pictures copied, under pictureMutex_
};

}  // namespace velmora::monitoring
