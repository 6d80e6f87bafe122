// Area-averaging resampling. ShrinkPixels scatters each source pixel into at most two by two
// target sums, in one pass over the source with two rows of sums; GrowPixels gathers at most two
// by two source pixels for each target pixel. Where the processor has SSE2, the rows of sums are
// added up by the kernels of ResamplerSse2.cpp instead, to the same bytes.
#include "fingerprint/Resampler.h"

#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#define VODUVO_RESAMPLER_SSE2 1
#include <cpuid.h>

#include "fingerprint/ResamplerSse2.h"
#endif

namespace {

/* ---- Precision ---------------------------------------------------------------------------- */

// x87 registers keep 64 significant bits unless told otherwise; the products and sums must round
// to 53 bits as they do wherever doubles live in SSE2 registers, so the precision control is set
// to double for the work and restored afterwards.
#if defined(__i386__)
unsigned short EnterDoublePrecision() {
  unsigned short saved = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(saved) : : "memory");
  unsigned short control = static_cast<unsigned short>((saved & ~0x0300u) | 0x0200u);
  __asm__ __volatile__("fldcw %0" : : "m"(control) : "memory");
  return saved;
}

void LeaveDoublePrecision(unsigned short saved) {
  __asm__ __volatile__("fldcw %0" : : "m"(saved) : "memory");
}
#else
unsigned short EnterDoublePrecision() { return 0; }
void LeaveDoublePrecision(unsigned short) {}
#endif

// Every sum is held in single precision. On x87 a cast may leave the value in a wider register
// unrounded, so there it goes through memory.
inline double RoundToSingle(double sum) {
#if defined(__i386__) && !defined(__SSE2_MATH__)
  volatile float stored = static_cast<float>(sum);
  return stored;
#else
  return static_cast<float>(sum);
#endif
}

// The sum's integer part (truncated, not rounded); its low 8 bits are the byte.
inline std::uint8_t ToByte(double sum) {
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(sum) & 0xFF);
}

/* ---- Choice of path ------------------------------------------------------------------------ */

#if defined(VODUVO_RESAMPLER_SSE2)
bool ProcessorHasSse2() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) != 0;
}
#else
bool ProcessorHasSse2() { return false; }
#endif

const bool kProcessorHasSse2 = ProcessorHasSse2();
bool vectorPathAllowed = true;

/* ---- Rows of sums -------------------------------------------------------------------------- */

// Two rows of target sums, current and next, each in the layout of ResamplerSse2.h: three planes
// of single-precision sums, plane floats apart, for blue, green and red.
struct SumRows {
  float* block;  // holds both rows
  float* current;
  float* next;
  int plane;
};

bool AllocateSumRows(int width, SumRows& rows) {
  rows.plane = width + (width & 1);
  const std::size_t floats = 3 * static_cast<std::size_t>(rows.plane);
  rows.block = static_cast<float*>(std::calloc(2 * floats, sizeof(float)));
  rows.current = rows.block;
  rows.next = rows.block ? rows.block + floats : nullptr;
  return rows.block != nullptr;
}

// Converts a row of sums into the bytes of a target row.
void EmitSums(const float* sums, int plane, int width, std::uint8_t* row) {
  for (int k = 0; k < width; ++k, row += 3) {
    for (int channel = 0; channel < 3; ++channel) row[channel] = ToByte(sums[channel * plane + k]);
  }
}

// The three sums of one target pixel, held while its source pixels come in.
struct PixelSums {
  double channel[3];
};

PixelSums LoadSums(const float* sums, int plane, int k) {
  return {{sums[k], sums[plane + k], sums[2 * plane + k]}};
}

void StoreSums(const PixelSums& pixel, float* sums, int plane, int k) {
  for (int channel = 0; channel < 3; ++channel) {
    sums[channel * plane + k] = static_cast<float>(pixel.channel[channel]);
  }
}

// The three values of a source pixel, converted once for all the sums it goes into.
struct PixelValues {
  double channel[3];
};

PixelValues ReadPixel(const std::uint8_t* pixel) {
  return {{static_cast<double>(pixel[0]), static_cast<double>(pixel[1]), static_cast<double>(pixel[2])}};
}

// sum = single(sum + weight * value) for each channel of a source pixel.
void AddPixel(PixelSums& sums, double weight, const PixelValues& pixel) {
  for (int channel = 0; channel < 3; ++channel) {
    sums.channel[channel] = RoundToSingle(sums.channel[channel] + weight * pixel.channel[channel]);
  }
}

/* ---- Shrinking ----------------------------------------------------------------------------- */

// One source row into the sums: each source pixel into the current target pixel and, when it
// spills, the next one too; into the next target row as well when the row spills. The sums of
// the target pixel being filled are held in locals and stored when its last source pixel is in.
void ScatterRow(const std::uint8_t* pixel, const AxisWeight* xs, int sourceWidth, int targetWidth,
                AxisWeight y, SumRows rows) {
  const bool rowSpills = SpillsOver(y);
  int k = 0;
  PixelSums current = LoadSums(rows.current, rows.plane, k);
  PixelSums next = LoadSums(rows.next, rows.plane, k);
  for (int i = 0; i < sourceWidth; ++i, pixel += 3) {
    const AxisWeight x = xs[i];
    const PixelValues values = ReadPixel(pixel);
    AddPixel(current, static_cast<double>(x.share) * y.share, values);
    if (rowSpills) AddPixel(next, static_cast<double>(y.spill) * x.share, values);
    if (!EndsOtherPixel(x)) continue;
    StoreSums(current, rows.current, rows.plane, k);
    if (rowSpills) StoreSums(next, rows.next, rows.plane, k);
    if (++k == targetWidth) return;
    current = LoadSums(rows.current, rows.plane, k);
    if (rowSpills) next = LoadSums(rows.next, rows.plane, k);
    if (SpillsOver(x)) {
      AddPixel(current, static_cast<double>(x.spill) * y.share, values);
      if (rowSpills) AddPixel(next, static_cast<double>(x.spill) * y.spill, values);
    }
  }
}

// The work of one ShrinkPixels call; plan is set when the vector kernels do the rows.
struct Shrinking {
  AxisWeight* xs;
  AxisWeight* ys;
  SumRows rows;
#if defined(VODUVO_RESAMPLER_SSE2)
  RowPlanSse2* plan;
#endif
};

void AddSourceRow(Shrinking& work, const std::uint8_t* row, int sourceWidth, int targetWidth,
                  AxisWeight y) {
#if defined(VODUVO_RESAMPLER_SSE2)
  if (work.plan) {
    LoadRowSse2(work.plan, row);
    AddRowSse2(work.plan, y.share, work.rows.current, y.spill, SpillsOver(y) ? work.rows.next : nullptr,
               work.rows.plane);
    return;
  }
#endif
  ScatterRow(row, work.xs, sourceWidth, targetWidth, y, work.rows);
}

// Source rows from row 0 upward; a target row is written when its last source row is in, which
// for the last target row is the last source row.
void ShrinkRows(Shrinking& work, const std::uint8_t* source, int sourceWidth, int sourceHeight,
                std::uint8_t* target, int targetWidth, int targetHeight) {
  const std::size_t sourceStride = PixelStride(sourceWidth);
  const std::size_t targetStride = PixelStride(targetWidth);
  const std::size_t sumBytes = 3 * static_cast<std::size_t>(work.rows.plane) * sizeof(float);
  int written = 0;
  for (int y = 0; y < sourceHeight && written < targetHeight; ++y, source += sourceStride) {
    AddSourceRow(work, source, sourceWidth, targetWidth, work.ys[y]);
    if (!EndsOtherPixel(work.ys[y])) continue;
    EmitSums(work.rows.current, work.rows.plane, targetWidth, target);
    target += targetStride;
    ++written;
    float* done = work.rows.current;
    work.rows.current = work.rows.next;
    work.rows.next = done;
    std::memset(done, 0, sumBytes);
  }
}

bool TakesVectorPath() { return kProcessorHasSse2 && vectorPathAllowed; }

bool Shrink(const std::uint8_t* source, int sourceWidth, int sourceHeight, std::uint8_t* target,
            int targetWidth, int targetHeight) {
  Shrinking work = {};
  work.xs = BuildAxisWeights(sourceWidth, targetWidth, AxisMode::Shrink);
  work.ys = BuildAxisWeights(sourceHeight, targetHeight, AxisMode::Shrink);
  bool ready = work.xs && work.ys && AllocateSumRows(targetWidth, work.rows);
#if defined(VODUVO_RESAMPLER_SSE2)
  if (ready && TakesVectorPath()) {
    work.plan = PlanRowsSse2(work.xs, AxisMode::Shrink, sourceWidth, targetWidth);
    ready = work.plan != nullptr;
  }
#endif
  if (ready) ShrinkRows(work, source, sourceWidth, sourceHeight, target, targetWidth, targetHeight);
#if defined(VODUVO_RESAMPLER_SSE2)
  ReleaseRowPlanSse2(work.plan);
#endif
  std::free(work.rows.block);
  std::free(work.xs);
  std::free(work.ys);
  return ready;
}

/* ---- Growing ------------------------------------------------------------------------------- */

// The four terms of one target pixel, source pixel i of row a and row b at pa and pb: a's pixel,
// a's next one when the pixel spills, then the same in b when the row spills.
void GatherPixel(const std::uint8_t* pa, const std::uint8_t* pb, AxisWeight x, AxisWeight y,
                 std::uint8_t* out) {
  const bool spills = SpillsOver(x);
  const bool rowSpills = SpillsOver(y);
  for (int channel = 0; channel < 3; ++channel) {
    double sum = RoundToSingle(static_cast<double>(y.share) * x.share * pa[channel]);
    if (spills) sum = RoundToSingle(sum + static_cast<double>(y.share) * x.spill * pa[3 + channel]);
    if (rowSpills) {
      sum = RoundToSingle(sum + static_cast<double>(y.spill) * x.share * pb[channel]);
      if (spills) sum = RoundToSingle(sum + static_cast<double>(y.spill) * x.spill * pb[3 + channel]);
    }
    out[channel] = ToByte(sum);
  }
}

// Where a target column's source pixel starts in a source row (three bytes a pixel), and whether
// it is the column's only one: its weight is then 1 (every entry of a growing table without a
// spill has share 1).
struct ColumnStart {
  int offset;
  bool alone;
};

// The walk of the gather along x is the same for every row, so it is worked out once. Returns an
// array from std::malloc, or null.
ColumnStart* WalkColumns(const AxisWeight* xs, int sourceWidth, int targetWidth) {
  auto* columns = static_cast<ColumnStart*>(std::malloc(static_cast<std::size_t>(targetWidth) * sizeof(ColumnStart)));
  for (int t = 0, i = 0; columns && t < targetWidth; ++t) {
    columns[t] = {3 * i, xs[t].share == 1.0f && !SpillsOver(xs[t])};
    if (EndsOtherPixel(xs[t]) && i + 1 < sourceWidth) ++i;
  }
  return columns;
}

// One target row from source row a and, when the row spills, row b above it. In a row that takes
// row a alone with weight 1, a column of one source pixel is that pixel.
void GatherRow(const std::uint8_t* a, const std::uint8_t* b, const AxisWeight* xs,
               const ColumnStart* columns, int targetWidth, AxisWeight y, std::uint8_t* out) {
  const bool rowSpills = SpillsOver(y);
  const bool rowAlone = !rowSpills && y.share == 1.0f;
  for (int t = 0; t < targetWidth; ++t, out += 3) {
    const ColumnStart column = columns[t];
    if (rowAlone && column.alone) {
      std::memcpy(out, a + column.offset, 3);
    } else {
      GatherPixel(a + column.offset, rowSpills ? b + column.offset : nullptr, xs[t], y, out);
    }
  }
}

// The work of one GrowPixels call; with the vector kernels, a row of sums and the plan.
struct Growing {
  AxisWeight* xs;
  AxisWeight* ys;
  ColumnStart* columns;
#if defined(VODUVO_RESAMPLER_SSE2)
  RowPlanSse2* plan;
  SumRows rows;
#endif
};

// A row of two source rows in the vector kernels: a, then b, into sums that start at zero. Rows
// of one source row stay with GatherRow, which copies most of their pixels.
bool GatheredInVector(Growing& work, const std::uint8_t* a, const std::uint8_t* b, int targetWidth,
                      AxisWeight y, std::uint8_t* out) {
#if defined(VODUVO_RESAMPLER_SSE2)
  if (!work.plan || !SpillsOver(y)) return false;
  const int plane = work.rows.plane;
  std::memset(work.rows.current, 0, 3 * static_cast<std::size_t>(plane) * sizeof(float));
  LoadRowSse2(work.plan, a);
  AddRowSse2(work.plan, y.share, work.rows.current, 0.0f, nullptr, plane);
  LoadRowSse2(work.plan, b);
  AddRowSse2(work.plan, y.spill, work.rows.current, 0.0f, nullptr, plane);
  EmitSums(work.rows.current, plane, targetWidth, out);
  return true;
#else
  (void)work, (void)a, (void)b, (void)targetWidth, (void)y, (void)out;
  return false;
#endif
}

// Whether any target row takes two source rows: the vector kernels do only those.
bool AnyRowSpills(const AxisWeight* ys, int targetHeight) {
  for (int j = 0; j < targetHeight; ++j) {
    if (SpillsOver(ys[j])) return true;
  }
  return false;
}

// Whether a target row takes the same source row alone, with the same weight, as the row below:
// then it is the same bytes.
bool RepeatsRowBelow(AxisWeight below, AxisWeight y) {
  return !EndsOtherPixel(below) && !SpillsOver(y) && below.share == y.share;
}

// Target rows from row 0 upward.
void GrowRows(Growing& work, const std::uint8_t* source, int sourceWidth, std::uint8_t* target,
              int targetWidth, int targetHeight) {
  const std::size_t sourceStride = PixelStride(sourceWidth);
  const std::size_t targetStride = PixelStride(targetWidth);
  const std::uint8_t* a = source;
  for (int j = 0; j < targetHeight; ++j, target += targetStride) {
    const AxisWeight y = work.ys[j];
    if (j > 0 && RepeatsRowBelow(work.ys[j - 1], y)) {
      std::memcpy(target, target - targetStride, 3 * static_cast<std::size_t>(targetWidth));
    } else if (!GatheredInVector(work, a, a + sourceStride, targetWidth, y, target)) {
      GatherRow(a, a + sourceStride, work.xs, work.columns, targetWidth, y, target);
    }
    if (EndsOtherPixel(y)) a += sourceStride;
  }
}

bool Grow(const std::uint8_t* source, int sourceWidth, int sourceHeight, std::uint8_t* target,
          int targetWidth, int targetHeight) {
  Growing work = {};
  work.xs = BuildAxisWeights(targetWidth, sourceWidth, AxisMode::Grow);
  work.ys = BuildAxisWeights(targetHeight, sourceHeight, AxisMode::Grow);
  work.columns = work.xs ? WalkColumns(work.xs, sourceWidth, targetWidth) : nullptr;
  bool ready = work.ys && work.columns;
#if defined(VODUVO_RESAMPLER_SSE2)
  if (ready && TakesVectorPath() && AnyRowSpills(work.ys, targetHeight)) {
    work.plan = PlanRowsSse2(work.xs, AxisMode::Grow, sourceWidth, targetWidth);
    ready = work.plan && AllocateSumRows(targetWidth, work.rows);
  }
#endif
  if (ready) GrowRows(work, source, sourceWidth, target, targetWidth, targetHeight);
#if defined(VODUVO_RESAMPLER_SSE2)
  ReleaseRowPlanSse2(work.plan);
  std::free(work.rows.block);
#endif
  std::free(work.xs);
  std::free(work.ys);
  std::free(work.columns);
  return ready;
}

bool WithinLimits(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
  return sourceWidth >= 1 && sourceWidth < kSourceSideLimit && sourceHeight >= 1 &&
         sourceHeight < kSourceSideLimit && targetWidth >= 1 && targetWidth <= kTargetSideLimit &&
         targetHeight >= 1 && targetHeight <= kTargetSideLimit;
}

}  // namespace

std::size_t PixelStride(int width) {
  return (3 * static_cast<std::size_t>(width) + 3) & ~static_cast<std::size_t>(3);
}

ScaleRoute ChooseScaleRoute(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
  if (!WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight)) return ScaleRoute::Refused;
  if ((sourceWidth > targetWidth && sourceHeight < targetHeight) ||
      (sourceWidth < targetWidth && sourceHeight > targetHeight)) {
    return ScaleRoute::Refused;
  }
  if (sourceWidth < targetWidth || sourceHeight < targetHeight) return ScaleRoute::Grow;
  return ScaleRoute::Shrink;
}

bool ShrinkPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::uint8_t* target, int targetWidth, int targetHeight) {
  if (!source || !target || !WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight) ||
      targetWidth > sourceWidth || targetHeight > sourceHeight) {
    return false;
  }
  const unsigned short precision = EnterDoublePrecision();
  const bool done = Shrink(source, sourceWidth, sourceHeight, target, targetWidth, targetHeight);
  LeaveDoublePrecision(precision);
  return done;
}

bool GrowPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                std::uint8_t* target, int targetWidth, int targetHeight) {
  if (!source || !target || !WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight) ||
      targetWidth < sourceWidth || targetHeight < sourceHeight) {
    return false;
  }
  const unsigned short precision = EnterDoublePrecision();
  const bool done = Grow(source, sourceWidth, sourceHeight, target, targetWidth, targetHeight);
  LeaveDoublePrecision(precision);
  return done;
}

void PaintBlackFrame(std::uint8_t* pixels, int width, int height) {
  if (!pixels || width < 1 || height < 1) return;
  const std::size_t stride = PixelStride(width);
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
  std::memset(pixels, 0, rowBytes);
  std::memset(pixels + static_cast<std::size_t>(height - 1) * stride, 0, rowBytes);
  for (int y = 1; y < height - 1; ++y) {
    std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    std::memset(row, 0, 3);
    std::memset(row + rowBytes - 3, 0, 3);
  }
}

bool ResamplerTakesVectorPath() { return TakesVectorPath(); }

void SetResamplerVectorPath(bool allowed) { vectorPathAllowed = allowed; }
