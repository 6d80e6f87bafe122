// libFuzzer target: sizes and pixels come from the input. Both resamplers, on the plain path and
// on the SSE2 kernels, must accept exactly the sizes of their direction, leave the fill bytes alone
// and match the slow reference byte for byte; the weight tables must keep the two sides in step
// below the source limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fingerprint/Resampler.h"
#include "tests/native/resampler_reference.h"

namespace {

const std::uint8_t kPoison = 0xbd;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
  unsigned Next() {
    unsigned value = 0;
    for (int i = 0; i < 2; ++i) value = value << 8 | (at < size ? data[at++] : 0u);
    return value;
  }
};

void Check(bool condition) {
  if (!condition) std::abort();
}

// Picture bytes from the rest of the input, repeated as needed, fill bytes included.
std::vector<std::uint8_t> Pixels(const Input& in, int width, int height) {
  std::vector<std::uint8_t> pixels(PixelStride(width) * static_cast<std::size_t>(height), 0);
  const std::size_t left = in.size - in.at;
  for (std::size_t i = 0; left > 0 && i < pixels.size(); ++i) pixels[i] = in.data[in.at + i % left];
  return pixels;
}

bool FillUntouched(const std::vector<std::uint8_t>& pixels, int width, int height) {
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 3 * static_cast<std::size_t>(width); i < PixelStride(width); ++i) {
      if (pixels[static_cast<std::size_t>(y) * PixelStride(width) + i] != kPoison) return false;
    }
  }
  return true;
}

using Resampler = bool (*)(const std::uint8_t*, int, int, std::uint8_t*, int, int);
using Reference = void (*)(const std::uint8_t*, int, int, std::uint8_t*, int, int);

void CheckResampler(Resampler resample, Reference reference, bool accepts,
                    const std::vector<std::uint8_t>& source, int sw, int sh, int tw, int th) {
  const std::size_t bytes = PixelStride(tw) * static_cast<std::size_t>(th);
  std::vector<std::uint8_t> want(bytes, kPoison);
  if (accepts) reference(source.data(), sw, sh, want.data(), tw, th);
  for (const bool vector : {false, true}) {
    std::vector<std::uint8_t> got(bytes, kPoison);
    SetResamplerVectorPath(vector);
    Check(resample(source.data(), sw, sh, got.data(), tw, th) == accepts);
    Check(!accepts || (got == want && FillUntouched(got, tw, th)));
  }
  SetResamplerVectorPath(true);
}

// Below the source limit the other side advances exactly step times, the last time at the end.
void CheckTable(int count, int step, AxisMode mode) {
  AxisWeight* table = BuildAxisWeights(count, step, mode);
  Check((table != nullptr) == (count >= 1 && step >= 1 && step <= count));
  if (table && count < kSourceSideLimit) {
    int advancing = 0;
    for (int i = 0; i < count; ++i) advancing += table[i].spill > 0.0001f || -table[i].spill > 0.0001f;
    Check(advancing == step && table[count - 1].spill == -1.0f);
  }
  std::free(table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size, 0};
  const unsigned shape = in.Next();
  // Mostly small pictures; one shape in sixteen is long and thin, up to just past the limit.
  const bool thin = shape % 16 == 0;
  const int sw = 1 + static_cast<int>(in.Next() % (thin ? 10004u : 80u));
  const int sh = 1 + static_cast<int>(in.Next() % (thin ? 2u : 80u));
  const int tw = static_cast<int>(in.Next() % (thin ? 10100u : 200u));
  const int th = static_cast<int>(in.Next() % (thin ? 3u : 200u));
  CheckTable(sw, tw, AxisMode::Shrink);
  CheckTable(tw, sw, AxisMode::Grow);
  const bool inRange = sw < kSourceSideLimit && tw > 0 && th > 0;
  const bool shrinks = inRange && tw <= sw && th <= sh;
  const bool grows = inRange && tw >= sw && th >= sh;
  const ScaleRoute route = ChooseScaleRoute(sw, sh, tw, th);
  Check(route == (shrinks ? ScaleRoute::Shrink : grows ? ScaleRoute::Grow : ScaleRoute::Refused));
  const std::vector<std::uint8_t> source = Pixels(in, sw, sh);
  CheckResampler(ShrinkPixels, ReferenceShrink, shrinks, source, sw, sh, tw, th);
  CheckResampler(GrowPixels, ReferenceGrow, grows, source, sw, sh, tw, th);
  return 0;
}
