// Counts every allocation of the process, so it runs as a binary of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "model/DeviceContext.h"
#include "model/DrawingStyle.h"
#include "model/Model.h"
#include "model/Object.h"

namespace {

struct AllocationCounter {
  long long allocations = 0;
  long long releases = 0;
  long long otherSizes = 0;  // allocations of anything but a spike event
};
AllocationCounter counter;

}  // namespace

void* operator new(std::size_t size) {
  ++counter.allocations;
  if (size != sizeof(velmora::SpikeEvent)) ++counter.otherSizes;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
namespace {
void Release(void* p) {
  if (p != nullptr) ++counter.releases;
  std::free(p);
}
}  // namespace

void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }

namespace velmora {
namespace {

// Draws nothing and records nothing, so drawing itself is all that is counted.
class NullDeviceContext : public DeviceContext {
public:
  void SelectPen(const Pen*) override {}
  void SelectBrush(const Brush*) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Polygon(const ScreenPoint (&)[3]) override {}
};

TEST(ModelAllocation, RunningAllocatesOnlySpikesInFlightAndDrawingNothing) {
  Model model(1.0f);
  model.SetWeights({20, 20, 20, 20, 20, 20});
  NullDeviceContext dc;
  const DrawingStyle style{};
  const AllocationCounter built = counter;
  long long drawAllocations = 0;
  for (int frame = 0; frame < 1500; ++frame) {  // 30 s of simulated time
    if (frame % 2 == 0) model.Stimulate(true, true);
    for (int k = 0; k < 20; ++k) model.Advance();
    const long long before = counter.allocations;
    model.Draw(dc, style);
    drawAllocations += counter.allocations - before;
  }
  EXPECT_GT(counter.allocations - built.allocations, 1000) << "a busy network";
  EXPECT_EQ(counter.otherSizes, built.otherSizes) << "only spike events are allocated while running";
  EXPECT_EQ(drawAllocations, 0);

  model.Reset(1.0f);
  EXPECT_EQ(counter.allocations - counter.releases, built.allocations - built.releases)
      << "a reset releases every spike in flight";
}

}  // namespace
}  // namespace velmora
