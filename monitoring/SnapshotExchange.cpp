#include "monitoring/SnapshotExchange.h"

#include <algorithm>
#include <cstring>

namespace velmora::monitoring {

void FramePeriodHistogram::Observe(double periodSeconds) {
  const auto bound = std::lower_bound(kFramePeriodBucketBounds.begin(), kFramePeriodBucketBounds.end(),
                                      periodSeconds);
  ++bucketCounts[static_cast<std::size_t>(bound - kFramePeriodBucketBounds.begin())];
  sumSeconds += periodSeconds;
  ++count;
}

SnapshotExchange::SnapshotExchange(int width, int height)
    : width_(width), height_(height),
      picture_(static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0))) {}

void SnapshotExchange::Publish(const ExhibitSnapshot& snapshot) {
  PublishedSnapshot& slot = slots_[writerSlot_];
  slot.snapshot = snapshot;
  slot.publishedAt = std::chrono::steady_clock::now();
  slot.sequence = ++published_;
  // Release: the reader that swaps this slot in sees everything written above.
  writerSlot_ = middleSlot_.exchange(static_cast<std::uint8_t>(writerSlot_ | kFresh), std::memory_order_acq_rel) &
                kSlotMask;
}

std::optional<PublishedSnapshot> SnapshotExchange::Latest() {
  std::lock_guard<std::mutex> lock(readerMutex_);
  if ((middleSlot_.load(std::memory_order_relaxed) & kFresh) != 0) {
    readerSlot_ = middleSlot_.exchange(readerSlot_, std::memory_order_acq_rel) & kSlotMask;
  }
  const PublishedSnapshot& slot = slots_[readerSlot_];
  if (slot.sequence == 0) return std::nullopt;
  return slot;
}

void SnapshotExchange::OfferPicture(const std::uint16_t* pixels, std::size_t pitchBytes) {
  if (!PictureWanted() || pixels == nullptr) return;
  std::unique_lock<std::mutex> lock(pictureMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  const auto rowPixels = static_cast<std::size_t>(width_);
  const auto* source = reinterpret_cast<const unsigned char*>(pixels);
  for (int y = 0; y < height_; ++y) {
    std::memcpy(picture_.data() + static_cast<std::size_t>(y) * rowPixels,
                source + static_cast<std::size_t>(y) * pitchBytes, rowPixels * sizeof(std::uint16_t));
  }
  fullColourWidth_ = 0;
  ++pictureSerial_;
  pictureWanted_.store(false, std::memory_order_relaxed);
  lock.unlock();
  pictureOffered_.notify_all();
}

bool SnapshotExchange::LendPictureStorage(std::vector<std::uint32_t>& xrgb, std::size_t pixels) {
  if (xrgb.capacity() >= pixels) return true;
  std::unique_lock<std::mutex> lock(pictureMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  if (spare_.capacity() >= pixels) {
    xrgb.swap(spare_);
    return true;
  }
  storageWanted_ = pixels;
  lock.unlock();
  pictureOffered_.notify_all();
  return false;
}

void SnapshotExchange::OfferPicture(std::vector<std::uint32_t>& xrgb, int width, int height) {
  if (!PictureWanted() || width <= 0 || height <= 0 ||
      xrgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return;
  }
  std::unique_lock<std::mutex> lock(pictureMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  fullColour_.swap(xrgb);
  fullColourWidth_ = width;
  fullColourHeight_ = height;
  ++pictureSerial_;
  pictureWanted_.store(false, std::memory_order_relaxed);
  lock.unlock();
  pictureOffered_.notify_all();
}

bool SnapshotExchange::TakePicture(std::vector<std::uint8_t>& rgb, int& width, int& height,
                                   std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(pictureMutex_);
  const std::uint64_t before = pictureSerial_;
  pictureWanted_.store(true, std::memory_order_relaxed);
  for (;;) {
    if (pictureOffered_.wait_until(lock, deadline, [&] {
          return pictureSerial_ != before || storageWanted_ > spare_.capacity();
        })) {
      if (pictureSerial_ != before) break;
      // The frame loop needs storage for the copy: made here, zeroed so that its pages
      // are touched here too, outside the lock.
      const std::size_t pixels = storageWanted_;
      lock.unlock();
      std::vector<std::uint32_t> storage(pixels);
      lock.lock();
      if (spare_.capacity() < pixels) spare_.swap(storage);
      storageWanted_ = 0;
      continue;
    }
    pictureWanted_.store(false, std::memory_order_relaxed);
    return false;
  }
  if (fullColourWidth_ > 0) {
    width = fullColourWidth_;
    height = fullColourHeight_;
    rgb.resize(fullColour_.size() * 3);
    std::uint8_t* out = rgb.data();
    for (const std::uint32_t pixel : fullColour_) {
      *out++ = static_cast<std::uint8_t>(pixel >> 16);
      *out++ = static_cast<std::uint8_t>(pixel >> 8);
      *out++ = static_cast<std::uint8_t>(pixel);
    }
    return true;
  }
  width = width_;
  height = height_;
  // RGB565 to 8 bits a channel as SDL reads such pixels (value x 255 / largest value,
  // rounded down), so the picture equals the exhibit's --screenshot of the same frame.
  rgb.resize(picture_.size() * 3);
  std::uint8_t* out = rgb.data();
  for (const std::uint16_t pixel : picture_) {
    const unsigned red = pixel >> 11, green = (pixel >> 5) & 0x3Fu, blue = pixel & 0x1Fu;
    *out++ = static_cast<std::uint8_t>(red * 255u / 0x1Fu);
    *out++ = static_cast<std::uint8_t>(green * 255u / 0x3Fu);
    *out++ = static_cast<std::uint8_t>(blue * 255u / 0x1Fu);
  }
  return true;
}

}  // namespace velmora::monitoring
