// Area-averaging resampling: weight tables, the terms they give each target pixel, and the row
// folds that add those terms up in one fixed order, so that every build produces the same bytes.
#include "fingerprint/Resampler.h"

#include <cstdlib>
#include <cstring>
#include <memory>

// On x86-64 the rows are folded with AVX2 when the processor has it. The 32-bit build keeps to
// plain x87 code: the machines it serves may lack even SSE2.
#if defined(__x86_64__) && !defined(VODUVO_RESAMPLER_SCALAR)
#define VODUVO_RESAMPLER_AVX 1
#include <immintrin.h>
#endif

namespace {

// One weighted source pixel of one target pixel along an axis.
struct AxisTerm {
  int target;
  int source;
  float weight;
};

// Source rows that one fold takes at once, with the sums held in registers throughout; a target
// row made of more source rows than this (a picture shrunk more than sixfold) takes several.
const int kRowsPerFold = 6;
// The most target rows worked side by side, one to a vector lane.
const int kMostLanes = 4;

// Target columns with the same number of x terms (there are one or two such counts), so that a
// fold runs a fixed count of terms for a whole class, with no branch on the column.
struct ColumnClass {
  int begin, end;  // its columns, in the order the folds work them
  int termCount;
  int weightsAt;  // column begin + i has weights[weightsAt + i * termCount] on
};

// The x terms of a column are consecutive source pixels from its first one on. The folds work
// the columns class by class and keep the sums in that order; position leads from a target
// column to its place in it.
struct ColumnPlan {
  int classCount;
  ColumnClass* classes;
  int* first;  // first source pixel of each column, in working order
  int* position;  // working place of each target column
  int placeCount;  // working places, the spare ones included
  double* weights;
  int weightCount;
};

// A target row to work out, with its y terms.
struct TargetRow {
  int row;
  const AxisTerm* terms;
  int termCount;
};

// Target rows with the same number of y terms, worked side by side. A lane beyond count repeats
// the first row's source rows with weights of zero.
struct RowGroup {
  const TargetRow* rows;
  int count;
};

// Source rows of one fold: for each, its values with the lanes interleaved (channel value i of
// lane l at i * lanes + l), and each lane's row weight. The values are bytes, so single precision
// holds them exactly in half the room of double.
struct LaneBatch {
  const float* values[kRowsPerFold];
  double weights[kRowsPerFold][kMostLanes];
  int count;
};

// The row work, in plain code with one lane or, where the processor has them, in vector
// instructions with four. Sums are kept three to a working place, blue, green and red, each with
// its lanes side by side.
struct RowKernels {
  int lanes;
  int columnQuantum;  // the folds take columns in groups of this many
  void (*convertRows)(const std::uint8_t* const* rows, int count, float* values);
  void (*foldRows)(const ColumnPlan& plan, const LaneBatch& batch, bool fresh, double* sums);
  // Sorts the interleaved sums of count values out into one run per lane.
  void (*splitLanes)(const double* sums, int count, double* const* laneSums);
  void (*emitRow)(const double* sums, const int* position, int width, std::uint8_t* row);
};

struct Resampling {
  ColumnPlan columns;
  AxisTerm* rows;  // the terms of the y axis, target row after target row
  int rowCount;
  TargetRow* order;  // the target rows to work out, fewest terms first
  int orderCount;
  bool* copied;  // target rows that repeat the row below them
  void* block;  // holds the source values, the sums and the sums of each lane
  float* values[kRowsPerFold];
  double* sums;
  double* laneSums[kMostLanes];
  RowKernels kernels;
};

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

// One step of a sum: the weight product times the value in double, added in double, rounded to
// single precision.
inline double AddTerm(double sum, double weight, double value) {
  return RoundToSingle(sum + weight * value);
}

// The sum's integer part (truncated, not rounded); its low 8 bits are the byte.
inline std::uint8_t ToByte(double sum) {
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(sum) & 0xFF);
}

/* ---- Terms of an axis ---------------------------------------------------------------------- */

// Shrink table: one entry per source pixel, scattered into the current target pixel and, on a
// spill, the next one. Terms come out in target order, ascending source order within a target.
int ScatterTerms(const AxisWeight* table, int sourceCount, int targetCount, AxisTerm* terms) {
  int count = 0;
  int target = 0;
  for (int source = 0; source < sourceCount && target < targetCount; ++source) {
    const AxisWeight& entry = table[source];
    terms[count++] = {target, source, entry.share};
    if (entry.spill > kWeightThreshold && target + 1 < targetCount) {
      terms[count++] = {target + 1, source, entry.spill};
    }
    if (entry.spill > kWeightThreshold || -entry.spill > kWeightThreshold) ++target;
  }
  return count;
}

// Grow table: one entry per target pixel, gathering the current source pixel and, on a spill,
// the next one.
int GatherTerms(const AxisWeight* table, int targetCount, int sourceCount, AxisTerm* terms) {
  int count = 0;
  int source = 0;
  for (int target = 0; target < targetCount && source < sourceCount; ++target) {
    const AxisWeight& entry = table[target];
    terms[count++] = {target, source, entry.share};
    if (entry.spill > kWeightThreshold && source + 1 < sourceCount) {
      terms[count++] = {target, source + 1, entry.spill};
    }
    if (entry.spill > kWeightThreshold || -entry.spill > kWeightThreshold) ++source;
  }
  return count;
}

// Builds the axis's table and lists its terms; the table is released again.
AxisTerm* ListAxisTerms(AxisMode mode, int sourceCount, int targetCount, int* termCount) {
  const bool shrink = mode == AxisMode::Shrink;
  const int entries = shrink ? sourceCount : targetCount;
  AxisWeight* table = shrink ? BuildAxisWeights(sourceCount, targetCount, mode)
                             : BuildAxisWeights(targetCount, sourceCount, mode);
  AxisTerm* terms = nullptr;
  if (table) {
    terms = static_cast<AxisTerm*>(std::malloc(2 * static_cast<std::size_t>(entries) * sizeof(AxisTerm)));
  }
  if (terms) {
    *termCount = shrink ? ScatterTerms(table, sourceCount, targetCount, terms)
                        : GatherTerms(table, targetCount, sourceCount, terms);
  }
  std::free(table);
  return terms;
}

// Sorts the columns into classes by term count; counts[k] is column k's. Each class takes a
// multiple of quantum working places: the spare ones have weights of zero, and as adding a zero
// term leaves a sum exactly as it was, they let the folds work whole groups of columns.
bool ClassifyColumns(const int* counts, int targetWidth, int longest, int quantum, ColumnPlan* plan) {
  int* placed = static_cast<int*>(std::calloc(static_cast<std::size_t>(longest) + 1, sizeof(int)));
  plan->classes = static_cast<ColumnClass*>(std::calloc(static_cast<std::size_t>(longest) + 1, sizeof(ColumnClass)));
  if (!placed || !plan->classes) {
    std::free(placed);
    return false;
  }
  for (int k = 0; k < targetWidth; ++k) ++placed[counts[k]];
  for (int c = 0, begin = 0; c <= longest; ++c) {
    if (placed[c] == 0) continue;
    const int places = (placed[c] + quantum - 1) / quantum * quantum;
    plan->classes[plan->classCount++] = {begin, begin + places, c, plan->weightCount};
    plan->weightCount += places * c;
    begin += places;
    plan->placeCount = begin;
    placed[c] = plan->classes[plan->classCount - 1].begin;
  }
  for (int k = 0; k < targetWidth; ++k) plan->position[k] = placed[counts[k]]++;
  std::free(placed);
  return true;
}

// Where the weights of the column at working place i start.
int ColumnWeightsAt(const ColumnPlan& plan, int i) {
  const ColumnClass* c = plan.classes;
  while (i >= c->end) ++c;
  return c->weightsAt + (i - c->begin) * c->termCount;
}

// Lays out the x terms, which come in target order, column by column in working order.
bool PlanColumns(const AxisTerm* terms, int termCount, int targetWidth, int quantum,
                 ColumnPlan* plan) {
  int* counts = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  plan->position = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  int longest = 0;
  for (int i = 0; counts && i < termCount; ++i) {
    const int count = ++counts[terms[i].target];
    if (count > longest) longest = count;
  }
  const bool classified = counts && plan->position &&
                          ClassifyColumns(counts, targetWidth, longest, quantum, plan);
  std::free(counts);
  if (!classified) return false;
  plan->first = static_cast<int*>(std::malloc(static_cast<std::size_t>(plan->placeCount) * sizeof(int)));
  plan->weights = static_cast<double*>(std::calloc(static_cast<std::size_t>(plan->weightCount), sizeof(double)));
  if (!plan->first || !plan->weights) return false;
  for (int i = 0; i < plan->placeCount; ++i) plan->first[i] = -1;
  for (int i = 0, slot = 0, at = 0; i < termCount; ++i) {
    slot = (i > 0 && terms[i].target == terms[i - 1].target) ? slot + 1 : 0;
    const int place = plan->position[terms[i].target];
    if (slot == 0) {
      at = ColumnWeightsAt(*plan, place);
      plan->first[place] = terms[i].source;
    }
    plan->weights[at + slot] = terms[i].weight;
  }
  // A spare place reads the pixels of the column before it, which are inside the row.
  for (int i = 1; i < plan->placeCount; ++i) {
    if (plan->first[i] < 0) plan->first[i] = plan->first[i - 1];
  }
  return true;
}

/* ---- Row kernels --------------------------------------------------------------------------- */

void ConvertRowScalar(const std::uint8_t* const* rows, int count, float* values) {
  const std::uint8_t* row = rows[0];
  for (int i = 0; i < count; ++i) values[i] = row[i];
}

void EmitRowScalar(const double* sums, const int* position, int width, std::uint8_t* row) {
  for (int k = 0; k < width; ++k, row += 3) {
    const double* sum = sums + 3 * position[k];
    row[0] = ToByte(sum[0]);
    row[1] = ToByte(sum[1]);
    row[2] = ToByte(sum[2]);
  }
}

// Adds a batch of source rows into the sums of a target row, which start from zero when fresh.
// Each term's weight is the product of its column weight and its row weight, exact in double as
// both are single-precision values.
void FoldRowsScalar(const ColumnPlan& plan, const LaneBatch& batch, bool fresh, double* sums) {
  for (const ColumnClass* c = plan.classes; c < plan.classes + plan.classCount; ++c) {
    const double* columnWeights = plan.weights + c->weightsAt;
    for (int i = c->begin; i < c->end; ++i, columnWeights += c->termCount) {
      for (int channel = 0; channel < 3; ++channel) {
        double sum = fresh ? 0.0 : sums[3 * i + channel];
        for (int r = 0; r < batch.count; ++r) {
          const float* pixel = batch.values[r] + 3 * plan.first[i] + channel;
          for (int n = 0; n < c->termCount; ++n) {
            sum = AddTerm(sum, columnWeights[n] * batch.weights[r][0], pixel[3 * n]);
          }
        }
        sums[3 * i + channel] = sum;
      }
    }
  }
}

// One lane: the sums are the lane's own.
void SplitLanesScalar(const double* sums, int count, double* const* laneSums) {
  std::memcpy(laneSums[0], sums, static_cast<std::size_t>(count) * sizeof(double));
}

#if defined(VODUVO_RESAMPLER_AVX)
// Columns that the vector folds take at once.
const int kFoldColumns = 3;

// Interleaves four rows of bytes as floats: sixteen bytes of each row are transposed into four
// bytes a position, and two positions at a time widen to one vector.
__attribute__((target("avx2"))) void ConvertRowsAvx(const std::uint8_t* const* rows, int count,
                                                    float* values) {
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    __m128i bytes[4];
    for (int l = 0; l < 4; ++l) bytes[l] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[l] + i));
    const __m128i ab0 = _mm_unpacklo_epi8(bytes[0], bytes[1]);
    const __m128i ab1 = _mm_unpackhi_epi8(bytes[0], bytes[1]);
    const __m128i cd0 = _mm_unpacklo_epi8(bytes[2], bytes[3]);
    const __m128i cd1 = _mm_unpackhi_epi8(bytes[2], bytes[3]);
    const __m128i quads[4] = {_mm_unpacklo_epi16(ab0, cd0), _mm_unpackhi_epi16(ab0, cd0),
                              _mm_unpacklo_epi16(ab1, cd1), _mm_unpackhi_epi16(ab1, cd1)};
    float* at = values + 4 * i;
    for (const __m128i& q : quads) {
      _mm256_store_ps(at, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(q)));
      _mm256_store_ps(at + 8, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_unpackhi_epi64(q, q))));
      at += 16;
    }
  }
  for (; i < count; ++i) {
    for (int l = 0; l < 4; ++l) values[4 * i + l] = rows[l][i];
  }
}

// Rounds each lane to single precision without leaving the double registers. With C = 1.5 * 2^29
// times the power of two at or below x, x + C falls in a binade whose spacing is exactly that of
// the floats next to x, so the addition rounds x to the nearest float, ties to even, just as a
// conversion does; taking C off again is exact. The two steps are fused multiply-adds of the
// power of two, whose products are exact. This is shorter than converting to float and back,
// and the sums wait on it at every step.
__attribute__((target("avx2,fma"))) inline __m256d RoundToSingleAvx(__m256d x) {
  const __m256d exponentBits = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000LL));
  const __m256d offsetScale = _mm256_set1_pd(805306368.0);  // 1.5 * 2^29
  const __m256d power = _mm256_and_pd(x, exponentBits);
  return _mm256_fnmadd_pd(power, offsetScale, _mm256_fmadd_pd(power, offsetScale, x));
}

// The steps of FoldRowsScalar for three columns of four target rows: a vector holds one channel of
// one column in the four rows, so each lane multiplies, adds and rounds exactly as the scalar
// code does, and no lane sees another. The nine sums stay in registers for the whole batch (a
// tenth would not fit with the constants), and being independent, the rounding of one does not
// stall the next.
__attribute__((target("avx2,fma"))) inline void FoldColumnsAvx(const ColumnPlan& plan,
                                                            const ColumnClass& c, int i,
                                                            const LaneBatch& batch, bool fresh,
                                                            double* sums) {
  const int terms = c.termCount;
  const double* columnWeights = plan.weights + c.weightsAt + (i - c.begin) * terms;
  double* const at = sums + 12 * i;
  __m256d sum[3 * kFoldColumns];
  for (int v = 0; v < 3 * kFoldColumns; ++v) {
    sum[v] = fresh ? _mm256_setzero_pd() : _mm256_load_pd(at + 4 * v);
  }
  for (int r = 0; r < batch.count; ++r) {
    const __m256d rowWeights = _mm256_loadu_pd(batch.weights[r]);
    const float* pixel[kFoldColumns];
    for (int g = 0; g < kFoldColumns; ++g) pixel[g] = batch.values[r] + 12 * plan.first[i + g];
    for (int n = 0; n < terms; ++n) {
      for (int g = 0; g < kFoldColumns; ++g) {
        const __m256d weight = _mm256_mul_pd(_mm256_broadcast_sd(columnWeights + g * terms + n), rowWeights);
        const float* value = pixel[g] + 12 * n;
        for (int channel = 0; channel < 3; ++channel) {
          __m256d& s = sum[3 * g + channel];
          s = RoundToSingleAvx(_mm256_add_pd(s, _mm256_mul_pd(weight, _mm256_cvtps_pd(_mm_load_ps(value + 4 * channel)))));
        }
      }
    }
  }
  for (int v = 0; v < 3 * kFoldColumns; ++v) _mm256_store_pd(at + 4 * v, sum[v]);
}

// The classes come in whole threes of places.
__attribute__((target("avx2,fma"))) void FoldRowsAvx(const ColumnPlan& plan, const LaneBatch& batch,
                                                     bool fresh, double* sums) {
  for (const ColumnClass* c = plan.classes; c < plan.classes + plan.classCount; ++c) {
    for (int i = c->begin; i < c->end; i += kFoldColumns) FoldColumnsAvx(plan, *c, i, batch, fresh, sums);
  }
}

// Four sums of four lanes at a time, transposed into four sums of each lane.
__attribute__((target("avx2"))) void SplitLanesAvx(const double* sums, int count,
                                                   double* const* laneSums) {
  for (int j = 0; j < count; j += 4, sums += 16) {
    const __m256d s0 = _mm256_load_pd(sums), s1 = _mm256_load_pd(sums + 4);
    const __m256d s2 = _mm256_load_pd(sums + 8), s3 = _mm256_load_pd(sums + 12);
    const __m256d low01 = _mm256_unpacklo_pd(s0, s1), high01 = _mm256_unpackhi_pd(s0, s1);
    const __m256d low23 = _mm256_unpacklo_pd(s2, s3), high23 = _mm256_unpackhi_pd(s2, s3);
    _mm256_storeu_pd(laneSums[0] + j, _mm256_permute2f128_pd(low01, low23, 0x20));
    _mm256_storeu_pd(laneSums[1] + j, _mm256_permute2f128_pd(high01, high23, 0x20));
    _mm256_storeu_pd(laneSums[2] + j, _mm256_permute2f128_pd(low01, low23, 0x31));
    _mm256_storeu_pd(laneSums[3] + j, _mm256_permute2f128_pd(high01, high23, 0x31));
  }
}

// Truncates four sums at once; all but the last pixel store four bytes, the fourth of which the
// next pixel overwrites, so the fill bytes after the row stay untouched.
__attribute__((target("avx2"))) void EmitRowAvx(const double* sums, const int* position, int width,
                                                std::uint8_t* row) {
  const __m128i lowBytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  for (int k = 0; k + 1 < width; ++k, row += 3) {
    const __m128i integers = _mm256_cvttpd_epi32(_mm256_loadu_pd(sums + 3 * position[k]));
    const std::int32_t four = _mm_cvtsi128_si32(_mm_shuffle_epi8(integers, lowBytes));
    std::memcpy(row, &four, sizeof four);
  }
  EmitRowScalar(sums, position + width - 1, 1, row);
}
#endif

RowKernels ChooseRowKernels() {
#if defined(VODUVO_RESAMPLER_AVX)
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
    return {4, kFoldColumns, ConvertRowsAvx, FoldRowsAvx, SplitLanesAvx, EmitRowAvx};
  }
#endif
  return {1, 1, ConvertRowScalar, FoldRowsScalar, SplitLanesScalar, EmitRowScalar};
}

/* ---- Rows ---------------------------------------------------------------------------------- */

// Whether two target rows take the same source rows with the same weights: then they are the
// same bytes.
bool SameTerms(const AxisTerm* a, const AxisTerm* aEnd, const AxisTerm* b, const AxisTerm* bEnd) {
  if (aEnd - a != bEnd - b) return false;
  for (; a < aEnd; ++a, ++b) {
    if (a->source != b->source || a->weight != b->weight) return false;
  }
  return true;
}

// Lists the target rows to work out, sorted by their count of y terms so that rows worked side
// by side have the same count; a row whose terms repeat the row below it is copied instead.
bool OrderTargetRows(Resampling& work, int targetHeight) {
  const std::size_t height = static_cast<std::size_t>(targetHeight);
  work.order = static_cast<TargetRow*>(std::malloc(height * sizeof(TargetRow)));
  work.copied = static_cast<bool*>(std::calloc(height, sizeof(bool)));
  TargetRow* listed = static_cast<TargetRow*>(std::malloc(height * sizeof(TargetRow)));
  if (!work.order || !work.copied || !listed) {
    std::free(listed);
    return false;
  }
  const AxisTerm* term = work.rows;
  const AxisTerm* end = work.rows + work.rowCount;
  const AxisTerm* previous = nullptr;
  int count = 0, longest = 0;
  for (int y = 0; y < targetHeight; ++y) {
    const AxisTerm* row = term;
    while (term < end && term->target == y) ++term;
    const int terms = static_cast<int>(term - row);
    if (previous && SameTerms(previous, row, row, term)) {
      work.copied[y] = true;
    } else {
      listed[count++] = {y, row, terms};
      if (terms > longest) longest = terms;
    }
    previous = row;
  }
  for (int terms = 0, placed = 0; terms <= longest; ++terms) {
    for (int k = 0; k < count; ++k) {
      if (listed[k].termCount == terms) work.order[placed++] = listed[k];
    }
  }
  work.orderCount = count;
  std::free(listed);
  return true;
}

// A count of doubles raised to whole 64-byte cache lines.
std::size_t WholeLines(std::size_t doubles) { return (doubles + 7) & ~static_cast<std::size_t>(7); }

// One block, each buffer on cache lines of its own.
bool AllocateRows(Resampling& work, int sourceWidth) {
  const std::size_t lanes = static_cast<std::size_t>(work.kernels.lanes);
  // Floats, in whole cache lines.
  const std::size_t valueCount = 2 * WholeLines((3 * static_cast<std::size_t>(sourceWidth) * lanes + 1) / 2);
  // The sums of each lane are split out four at a time, and the last pixel's are read as four.
  const std::size_t splitCount = (3 * static_cast<std::size_t>(work.columns.placeCount) + 3) & ~static_cast<std::size_t>(3);
  const std::size_t sumCount = WholeLines(splitCount * lanes);
  const std::size_t laneSumCount = WholeLines(splitCount + 4);
  const std::size_t valueBytes = kRowsPerFold * valueCount * sizeof(float);
  const std::size_t bytes = valueBytes + (sumCount + lanes * laneSumCount) * sizeof(double);
  std::size_t space = bytes + 64;
  work.block = std::malloc(space);
  void* start = work.block;
  if (!start || !std::align(64, bytes, start, space)) return false;
  float* floats = static_cast<float*>(start);
  for (int r = 0; r < kRowsPerFold; ++r) work.values[r] = floats + static_cast<std::size_t>(r) * valueCount;
  work.sums = reinterpret_cast<double*>(static_cast<char*>(start) + valueBytes);
  for (std::size_t l = 0; l < lanes; ++l) work.laneSums[l] = work.sums + sumCount + l * laneSumCount;
  std::memset(work.sums, 0, (sumCount + lanes * laneSumCount) * sizeof(double));
  return true;
}

bool PrepareResampling(AxisMode mode, int sourceWidth, int sourceHeight, int targetWidth,
                       int targetHeight, Resampling& work) {
  int columnTermCount = 0;
  AxisTerm* columnTerms = ListAxisTerms(mode, sourceWidth, targetWidth, &columnTermCount);
  work.kernels = ChooseRowKernels();
  const bool planned = columnTerms && PlanColumns(columnTerms, columnTermCount, targetWidth,
                                                  work.kernels.columnQuantum, &work.columns);
  std::free(columnTerms);
  if (!planned) return false;
  work.rows = ListAxisTerms(mode, sourceHeight, targetHeight, &work.rowCount);
  return work.rows && OrderTargetRows(work, targetHeight) && AllocateRows(work, sourceWidth);
}

void ReleaseResampling(Resampling& work) {
  std::free(work.columns.classes);
  std::free(work.columns.first);
  std::free(work.columns.position);
  std::free(work.columns.weights);
  std::free(work.rows);
  std::free(work.order);
  std::free(work.copied);
  std::free(work.block);
}

// Converts the source rows of terms from..from + count of each lane and sets their weights.
void LoadBatch(Resampling& work, const RowGroup& group, int from, int count,
               const std::uint8_t* source, int sourceWidth, LaneBatch& batch) {
  const std::size_t stride = PixelStride(sourceWidth);
  batch.count = count;
  for (int r = 0; r < count; ++r) {
    const std::uint8_t* rows[kMostLanes];
    for (int l = 0; l < work.kernels.lanes; ++l) {
      const bool used = l < group.count;
      const AxisTerm& term = (used ? group.rows[l] : group.rows[0]).terms[from + r];
      rows[l] = source + static_cast<std::size_t>(term.source) * stride;
      batch.weights[r][l] = used ? term.weight : 0.0;
    }
    work.kernels.convertRows(rows, 3 * sourceWidth, work.values[r]);
    batch.values[r] = work.values[r];
  }
}

// Each target row's sums start at zero and take its source rows' terms in ascending order, and
// within a row each column's terms in ascending order: the order both resamplers define.
void ResampleGroup(Resampling& work, const RowGroup& group, const std::uint8_t* source,
                   int sourceWidth, std::uint8_t* target, int targetWidth) {
  const int terms = group.rows[0].termCount;
  for (int from = 0; from < terms; from += kRowsPerFold) {
    LaneBatch batch;
    LoadBatch(work, group, from, terms - from < kRowsPerFold ? terms - from : kRowsPerFold, source,
              sourceWidth, batch);
    work.kernels.foldRows(work.columns, batch, from == 0, work.sums);
  }
  work.kernels.splitLanes(work.sums, 3 * work.columns.placeCount, work.laneSums);
  const std::size_t targetStride = PixelStride(targetWidth);
  for (int l = 0; l < group.count; ++l) {
    std::uint8_t* row = target + static_cast<std::size_t>(group.rows[l].row) * targetStride;
    work.kernels.emitRow(work.laneSums[l], work.columns.position, targetWidth, row);
  }
}

void ResampleRows(Resampling& work, const std::uint8_t* source, int sourceWidth,
                  std::uint8_t* target, int targetWidth, int targetHeight) {
  for (int k = 0; k < work.orderCount;) {
    RowGroup group = {work.order + k, 1};
    while (group.count < work.kernels.lanes && k + group.count < work.orderCount &&
           group.rows[group.count].termCount == group.rows[0].termCount) {
      ++group.count;
    }
    ResampleGroup(work, group, source, sourceWidth, target, targetWidth);
    k += group.count;
  }
  const std::size_t targetStride = PixelStride(targetWidth);
  for (int y = 1; y < targetHeight; ++y) {
    std::uint8_t* row = target + static_cast<std::size_t>(y) * targetStride;
    if (work.copied[y]) std::memcpy(row, row - targetStride, 3 * static_cast<std::size_t>(targetWidth));
  }
}

bool Resample(AxisMode mode, const std::uint8_t* source, int sourceWidth, int sourceHeight,
              std::uint8_t* target, int targetWidth, int targetHeight) {
  Resampling work = {};
  const unsigned short precision = EnterDoublePrecision();
  const bool ready =
      PrepareResampling(mode, sourceWidth, sourceHeight, targetWidth, targetHeight, work);
  if (ready) ResampleRows(work, source, sourceWidth, target, targetWidth, targetHeight);
  LeaveDoublePrecision(precision);
  ReleaseResampling(work);
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
  return Resample(AxisMode::Shrink, source, sourceWidth, sourceHeight, target, targetWidth,
                  targetHeight);
}

bool GrowPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                std::uint8_t* target, int targetWidth, int targetHeight) {
  if (!source || !target || !WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight) ||
      targetWidth < sourceWidth || targetHeight < sourceHeight) {
    return false;
  }
  return Resample(AxisMode::Grow, source, sourceWidth, sourceHeight, target, targetWidth,
                  targetHeight);
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
