// Times the resampler on the sizes the notices use, each next to a memcpy of its source buffer
// and of its target buffer. Every iteration times the copies right before and after the
// resampling, and the figures are medians of those pairs: on a shared machine the load drifts,
// and only times taken side by side compare fairly.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "fingerprint/Resampler.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
  int sourceWidth, sourceHeight, targetWidth, targetHeight;
};

const Case kCases[] = {{512, 512, 150, 150}, {640, 480, 150, 150}, {256, 360, 150, 150}, {75, 75, 150, 150}};

// Small copies are repeated so that the clock's own cost does not count.
const int kCopies = 16;

std::vector<std::uint8_t> Picture(int width, int height) {
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

std::string Name(const Case& c) {
  return std::to_string(c.sourceWidth) + "x" + std::to_string(c.sourceHeight) + "->" +
         std::to_string(c.targetWidth) + "x" + std::to_string(c.targetHeight);
}

double NanosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

double CopyNanoseconds(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& from) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kCopies; ++i) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
  return NanosecondsSince(start) / kCopies;
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

void Scale(benchmark::State& state, Case c) {
  const std::vector<std::uint8_t> source = Picture(c.sourceWidth, c.sourceHeight);
  const std::vector<std::uint8_t> target0 = Picture(c.targetWidth, c.targetHeight);
  std::vector<std::uint8_t> target(target0.size()), sourceCopy(source.size()), targetCopy(target0.size());
  const bool grow = ChooseScaleRoute(c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight) == ScaleRoute::Grow;
  std::vector<double> scale, sourceRatio, targetRatio, sourceTime, targetTime;
  for (auto _ : state) {
    const double copySource = CopyNanoseconds(sourceCopy, source);
    const Clock::time_point start = Clock::now();
    const bool done = grow ? GrowPixels(source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight)
                           : ShrinkPixels(source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight);
    const double resample = NanosecondsSince(start);
    benchmark::DoNotOptimize(done);
    const double copyTarget = CopyNanoseconds(targetCopy, target0);
    state.SetIterationTime(resample * 1e-9);
    scale.push_back(resample);
    sourceTime.push_back(copySource);
    targetTime.push_back(copyTarget);
    sourceRatio.push_back(resample / copySource);
    targetRatio.push_back(resample / copyTarget);
  }
  state.counters["resample_us"] = Median(scale) / 1000;
  state.counters["src_memcpy_us"] = Median(sourceTime) / 1000;
  state.counters["x_src_memcpy"] = Median(sourceRatio);
  state.counters["dst_memcpy_us"] = Median(targetTime) / 1000;
  state.counters["x_dst_memcpy"] = Median(targetRatio);
}

// Keeps each case's counters for the closing table.
class Collector : public benchmark::ConsoleReporter {
 public:
  std::vector<std::pair<std::string, benchmark::UserCounters>> counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) counters.emplace_back(run.benchmark_name(), run.counters);
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void PrintTable(const Collector& collector) {
  std::printf("\n%-18s %12s %14s %10s %14s %10s\n", "case (medians)", "resample us", "src memcpy us",
              "x src", "dst memcpy us", "x dst");
  for (const auto& entry : collector.counters) {
    const benchmark::UserCounters& k = entry.second;
    std::printf("%-18s %12.1f %14.2f %10.1f %14.2f %10.1f\n", entry.first.substr(0, entry.first.find('/')).c_str(),
                k.at("resample_us").value, k.at("src_memcpy_us").value, k.at("x_src_memcpy").value,
                k.at("dst_memcpy_us").value, k.at("x_dst_memcpy").value);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark(Name(c).c_str(), Scale, c)->UseManualTime()->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintTable(collector);
  benchmark::Shutdown();
  return 0;
}
