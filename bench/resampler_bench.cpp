// Times the resampler on the path this processor takes (the SSE2 kernels), its plain path,
// OpenCV's area resampling (cv::resize with INTER_AREA, one thread) and a memcpy of the source
// buffer, on the sizes the notices see; for the shrinks, also the floor of the arithmetic that
// gives the resampler's bytes, on two double lanes and on scalar code (arithmetic_floor.h). The machine the figures come from is shared and its load
// drifts, so only times taken side by side compare: the four run in one process, a batch of calls
// each in turn, round after round, and each figure is the median over the rounds of the time per
// call in a batch.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arithmetic_floor.h"
#include "fingerprint/Resampler.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
  int sourceWidth, sourceHeight, targetWidth, targetHeight;
};

const Case kCases[] = {{512, 512, 150, 150}, {640, 480, 150, 150}, {256, 360, 150, 150}, {75, 75, 150, 150}};

const int kRounds = 41;
// A batch lasts about this long, so that the clock's own cost does not count.
const double kBatchMicroseconds = 3000;

enum Contestant { kVector, kPlain, kOpenCv, kMemcpy, kVectorFloor, kPlainFloor, kTermsFloor, kContestants };
const char* const kNames[kContestants] = {"vector", "plain", "OpenCV", "memcpy", "floor-2", "floor-1", "terms-2"};

std::vector<std::uint8_t> Noise(int width, int height) {
  std::vector<std::uint8_t> pixels(PixelStride(width) * static_cast<std::size_t>(height));
  std::uint32_t state = 2463534242u;
  for (std::uint8_t& byte : pixels) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return pixels;
}

// The buffers of one case and one call of each contestant on them.
struct Bench {
  Case c;
  std::vector<std::uint8_t> source, target, copy;
  cv::Mat sourceMat, targetMat;
  std::vector<long> rowTerms;  // empty when growing: no floor
  std::vector<double> values;
  double floorSum = 0;

  explicit Bench(const Case& size)
      : c(size), source(Noise(size.sourceWidth, size.sourceHeight)),
        target(PixelStride(size.targetWidth) * static_cast<std::size_t>(size.targetHeight)),
        copy(source.size()), values(3 * static_cast<std::size_t>(size.sourceWidth) + 24) {
    if (ChooseScaleRoute(c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight) == ScaleRoute::Shrink) {
      rowTerms = TermsPerSourceRow(c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight);
    }
    sourceMat = cv::Mat(c.sourceHeight, c.sourceWidth, CV_8UC3, source.data(), PixelStride(c.sourceWidth));
    targetMat = cv::Mat(c.targetHeight, c.targetWidth, CV_8UC3, target.data(), PixelStride(c.targetWidth));
  }

  bool Resample(bool vector) {
    SetResamplerVectorPath(vector);
    const bool grow = ChooseScaleRoute(c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight) == ScaleRoute::Grow;
    return grow ? GrowPixels(source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight)
                : ShrinkPixels(source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight);
  }

  void Run(Contestant who) {
    switch (who) {
      case kVector: Resample(true); break;
      case kPlain: Resample(false); break;
      case kOpenCv: cv::resize(sourceMat, targetMat, targetMat.size(), 0, 0, cv::INTER_AREA); break;
      case kVectorFloor: RunFloor(VectorFloor); break;
      case kPlainFloor: RunFloor(ScalarFloor); break;
      case kTermsFloor: RunFloor(TermsFloor); break;
      default: std::memcpy(copy.data(), source.data(), source.size()); break;
    }
  }

  template <typename Floor>
  void RunFloor(Floor floor) {
    if (!rowTerms.empty()) floorSum += floor(source.data(), c.sourceWidth, c.sourceHeight, rowTerms, values.data());
  }

  // Microseconds per call over a batch of count calls.
  double Time(Contestant who, int count) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) Run(who);
    const double elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (copy[0] == target[0] + 1 || floorSum < 0) std::fputs("", stdout);  // keeps the work observable
    return elapsed / count;
  }
};

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

// The greatest difference between two targets' pixel bytes.
int LargestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, const Case& c) {
  int largest = 0;
  for (int y = 0; y < c.targetHeight; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * PixelStride(c.targetWidth);
    for (std::size_t i = row; i < row + 3 * static_cast<std::size_t>(c.targetWidth); ++i) {
      largest = std::max(largest, std::abs(a[i] - b[i]));
    }
  }
  return largest;
}

// The vector and plain paths must give the same bytes; OpenCV rounds where they truncate.
void CheckAgreement(Bench& bench) {
  bench.Run(kVector);
  const std::vector<std::uint8_t> vector = bench.target;
  bench.Run(kPlain);
  const std::vector<std::uint8_t> plain = bench.target;
  bench.Run(kOpenCv);
  std::printf("  %dx%d->%dx%d: vector and plain paths %s; OpenCV within %d of them\n", bench.c.sourceWidth,
              bench.c.sourceHeight, bench.c.targetWidth, bench.c.targetHeight,
              vector == plain ? "identical" : "DIFFER", LargestDifference(vector, bench.target, bench.c));
}

struct Row {
  const Case* c;
  double median[kContestants];
};

// Rounds of one batch per contestant, the order turning each round.
Row Measure(const Case& c) {
  Bench bench(c);
  CheckAgreement(bench);
  int count[kContestants];
  for (int who = 0; who < kContestants; ++who) {
    const double once = bench.Time(static_cast<Contestant>(who), 3);
    count[who] = std::max(1, static_cast<int>(kBatchMicroseconds / std::max(once, 0.01)));
  }
  std::vector<double> times[kContestants];
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < kContestants; ++turn) {
      const Contestant who = static_cast<Contestant>((round + turn) % kContestants);
      times[who].push_back(bench.Time(who, count[who]));
    }
  }
  Row row = {&c, {}};
  for (int who = 0; who < kContestants; ++who) row.median[who] = Median(times[who]);
  SetResamplerVectorPath(true);
  return row;
}

std::string CaseName(const Case& c) {
  char name[32];
  std::snprintf(name, sizeof name, "%dx%d->%dx%d", c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight);
  return name;
}

void PrintTable(const std::vector<Row>& rows) {
  std::printf("\n%-18s", "median us per call");
  for (int who = kVector; who <= kMemcpy; ++who) std::printf(" %9s", kNames[who]);
  std::printf(" %14s %13s  %s\n", "vector/OpenCV", "plain/OpenCV", "targets (vector <= 0.5, plain <= 1)");
  for (const Row& r : rows) {
    std::printf("%-18s", CaseName(*r.c).c_str());
    for (int who = kVector; who <= kMemcpy; ++who) std::printf(" %9.1f", r.median[who]);
    const double vector = r.median[kVector] / r.median[kOpenCv];
    const double plain = r.median[kPlain] / r.median[kOpenCv];
    std::printf(" %14.2f %13.2f  vector %s, plain %s\n", vector, plain, vector <= 0.5 ? "met" : "missed",
                plain <= 1.0 ? "met" : "missed");
  }
}

// No resampler that gives these bytes can take less than its floor on this processor.
void PrintFloors(const std::vector<Row>& rows) {
  std::printf("\nfloor of the arithmetic (shrinks; floor-2: two double lanes, floor-1: scalar, terms-2:\n"
              "floor-2 without converting the bytes)\n");
  std::printf("%-18s %9s %9s %9s %14s %13s %14s %14s %13s\n", "median us per call", kNames[kVectorFloor],
              kNames[kPlainFloor], kNames[kTermsFloor], "floor-2/OpenCV", "floor-1/OpenCV", "terms-2/OpenCV",
              "vector/floor-2", "plain/floor-1");
  for (const Row& r : rows) {
    if (ChooseScaleRoute(r.c->sourceWidth, r.c->sourceHeight, r.c->targetWidth, r.c->targetHeight) != ScaleRoute::Shrink) {
      continue;
    }
    const double* m = r.median;
    std::printf("%-18s %9.1f %9.1f %9.1f %14.2f %13.2f %14.2f %14.2f %13.2f\n", CaseName(*r.c).c_str(),
                m[kVectorFloor], m[kPlainFloor], m[kTermsFloor], m[kVectorFloor] / m[kOpenCv],
                m[kPlainFloor] / m[kOpenCv], m[kTermsFloor] / m[kOpenCv], m[kVector] / m[kVectorFloor],
                m[kPlain] / m[kPlainFloor]);
  }
}

}  // namespace

int main() {
  cv::setNumThreads(1);
  std::printf("resampler: %s path on this processor; kernels built for SSE2 only (no AVX), as in the\n"
              "32-bit product; the plain path here is SSE2 scalar code (x87 in the 32-bit product).\n"
              "OpenCV %s, one thread. %d rounds, batches of about %.0f us, medians over rounds.\n",
              ResamplerTakesVectorPath() ? "vector" : "plain", CV_VERSION, kRounds, kBatchMicroseconds);
  std::vector<Row> rows;
  for (const Case& c : kCases) rows.push_back(Measure(c));
  PrintTable(rows);
  PrintFloors(rows);
  return 0;
}
