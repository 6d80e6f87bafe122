// Reading templates back and comparing them. Placements of a finger differ by a shift, so the
// comparison finds the shift most feature pairs agree on (a vote over all pairs of similar
// direction) and then pairs each candidate feature with the nearest unused reference feature
// that the shift brings close enough.
#include "sim/papyl/Templates.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxShift = 96;  // farther apart than this two placements are not compared
constexpr int kShiftBin = 8;   // pixels per vote bin
constexpr int kBins = 2 * kMaxShift / kShiftBin + 2;
constexpr int kNearEnough = 6;   // pixels between paired features once shifted
constexpr int kAngleSlack = 20;  // degrees between paired features' ridge directions
constexpr int kMinPairs = 8;
constexpr int kMinScore = 40;

int Word(const unsigned char* at) { return at[0] | at[1] << 8; }

int AngleGap(int a, int b) {
  int gap = a > b ? a - b : b - a;
  return gap > 90 ? 180 - gap : gap;
}

struct Shift {
  int x, y;
};

// Each pair of similar direction votes for the shift that would lay one on the other. A vote
// lands in the two nearest bins along each axis, so that a cluster on a bin edge is not split.
Shift MostAgreedShift(const FeatureSet& candidate, const FeatureSet& reference) {
  uint16_t votes[kBins][kBins];
  int32_t sumX[kBins][kBins], sumY[kBins][kBins];
  std::memset(votes, 0, sizeof votes);
  std::memset(sumX, 0, sizeof sumX);
  std::memset(sumY, 0, sizeof sumY);
  int bestVotes = 0, bestRow = 0, bestColumn = 0;
  for (int i = 0; i < candidate.count; ++i) {
    const Feature& c = candidate.features[i];
    for (int j = 0; j < reference.count; ++j) {
      const Feature& r = reference.features[j];
      int dx = r.x - c.x, dy = r.y - c.y;
      if (dx <= -kMaxShift || dx >= kMaxShift || dy <= -kMaxShift || dy >= kMaxShift) continue;
      if (AngleGap(c.angle, r.angle) > kAngleSlack) continue;
      int column = (dx + kMaxShift - kShiftBin / 2 + kShiftBin) / kShiftBin;
      int row = (dy + kMaxShift - kShiftBin / 2 + kShiftBin) / kShiftBin;
      for (int v = row; v <= row + 1; ++v)
        for (int u = column; u <= column + 1; ++u) {
          sumX[v][u] += dx;
          sumY[v][u] += dy;
          if (++votes[v][u] > bestVotes) bestVotes = votes[v][u], bestRow = v, bestColumn = u;
        }
    }
  }
  if (bestVotes == 0) return {0, 0};
  return {sumX[bestRow][bestColumn] / bestVotes, sumY[bestRow][bestColumn] / bestVotes};
}

int PairFeatures(const FeatureSet& candidate, const FeatureSet& reference, Shift shift,
                 FeaturePair* pairs) {
  bool taken[kMaxFeatures] = {};
  int count = 0;
  for (int i = 0; i < candidate.count; ++i) {
    const Feature& c = candidate.features[i];
    int nearest = -1, nearestDistance = kNearEnough * kNearEnough + 1;
    for (int j = 0; j < reference.count; ++j) {
      const Feature& r = reference.features[j];
      int dx = r.x - c.x - shift.x, dy = r.y - c.y - shift.y, distance = dx * dx + dy * dy;
      if (taken[j] || distance >= nearestDistance) continue;
      if (AngleGap(c.angle, r.angle) > kAngleSlack) continue;
      nearest = j;
      nearestDistance = distance;
    }
    if (nearest < 0) continue;
    taken[nearest] = true;
    pairs[count++] = {static_cast<unsigned char>(i), static_cast<unsigned char>(nearest)};
  }
  return count;
}

}  // namespace

int TemplateLength(const unsigned char* data) {
  if (!data || std::memcmp(data, "PXT1", 4) != 0) return 0;
  int length = Word(data + 4), count = Word(data + 12);
  if (count > kMaxFeatures || length != kTemplateHeaderBytes + count * kFeatureBytes) return 0;
  int checksum = count;
  for (int b = kTemplateHeaderBytes; b < length; ++b) checksum += data[b];
  return (checksum & 0xFFFF) == Word(data + 14) ? length : 0;
}

bool ReadTemplate(const unsigned char* data, FeatureSet& features) {
  if (TemplateLength(data) == 0) return false;
  features.count = Word(data + 12);
  const unsigned char* at = data + kTemplateHeaderBytes;
  for (int i = 0; i < features.count; ++i, at += kFeatureBytes)
    features.features[i] = {Word(at), Word(at + 2), at[4], at[5]};
  return true;
}

Comparison CompareFeatures(const FeatureSet& candidate, const FeatureSet& reference) {
  Comparison result{};
  if (candidate.count == 0 || reference.count == 0) return result;
  Shift shift = MostAgreedShift(candidate, reference);
  result.pairCount = PairFeatures(candidate, reference, shift, result.pairs);
  int k = result.pairCount;
  result.score = (200 * k * k / (candidate.count * reference.count) + 1) / 2;
  if (result.score > 100) result.score = 100;
  result.matched = k >= kMinPairs && result.score >= kMinScore;
  return result;
}
