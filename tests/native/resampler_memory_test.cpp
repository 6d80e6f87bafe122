// Memory that cannot be had: every allocation the resampler makes, on the plain path and on the
// SSE2 kernels, is refused in turn, and each refusal must give a failed result with nothing left
// allocated. Linked with malloc, calloc and free wrapped (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "fingerprint/Resampler.h"

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void __real_free(void* block);
}

namespace {

// Counts only while watching, so the test framework's own allocations stay out of it.
struct Watch {
  bool on;
  int calls;
  int refuse;  // the call number to refuse, or -1
  int live;
} watch = {false, 0, -1, 0};

void* Counted(void* block) {
  if (block) ++watch.live;
  return block;
}

bool Refused() { return watch.on && watch.calls++ == watch.refuse; }

}  // namespace

extern "C" {
void* __wrap_malloc(std::size_t size) {
  if (Refused()) return nullptr;
  return watch.on ? Counted(__real_malloc(size)) : __real_malloc(size);
}

void* __wrap_calloc(std::size_t count, std::size_t size) {
  if (Refused()) return nullptr;
  return watch.on ? Counted(__real_calloc(count, size)) : __real_calloc(count, size);
}

void __wrap_free(void* block) {
  if (watch.on && block) --watch.live;
  __real_free(block);
}
}

namespace {

// Runs the call once to count its allocations, then once more refusing each of them.
template <typename Call>
void RefuseEachAllocationOnPath(Call call) {
  watch = {true, 0, -1, 0};
  const bool unrefused = call();
  const int allocations = watch.calls;
  watch.on = false;
  ASSERT_TRUE(unrefused);
  ASSERT_EQ(watch.live, 0);
  ASSERT_GT(allocations, 0);
  for (int refuse = 0; refuse < allocations; ++refuse) {
    watch = {true, 0, refuse, 0};
    const bool done = call();
    watch.on = false;
    EXPECT_FALSE(done) << "allocation " << refuse << " of " << allocations << " refused";
    EXPECT_EQ(watch.live, 0) << "allocation " << refuse << " of " << allocations << " refused";
  }
}

// The same on the plain path and on the vector kernels, which allocate their own plan.
template <typename Call>
void RefuseEachAllocation(Call call) {
  for (const bool vector : {false, true}) {
    SCOPED_TRACE(vector ? "vector path" : "plain path");
    SetResamplerVectorPath(vector);
    RefuseEachAllocationOnPath(call);
  }
  SetResamplerVectorPath(true);
}

TEST(ResamplerMemory, ShrinkFailsCleanlyWhenAnyAllocationIsRefused) {
  std::vector<std::uint8_t> source(PixelStride(37) * 29, 200), target(PixelStride(11) * 7);
  RefuseEachAllocation([&] { return ShrinkPixels(source.data(), 37, 29, target.data(), 11, 7); });
}

TEST(ResamplerMemory, GrowFailsCleanlyWhenAnyAllocationIsRefused) {
  std::vector<std::uint8_t> source(PixelStride(11) * 7, 200), target(PixelStride(37) * 29);
  RefuseEachAllocation([&] { return GrowPixels(source.data(), 11, 7, target.data(), 37, 29); });
}

TEST(ResamplerMemory, BuildAxisWeightsGivesNullWhenItsTableIsRefused) {
  watch = {true, 0, 0, 0};
  AxisWeight* table = BuildAxisWeights(300, 150, AxisMode::Shrink);
  watch.on = false;
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(watch.calls, 1);
  EXPECT_EQ(watch.live, 0);
}

}  // namespace
