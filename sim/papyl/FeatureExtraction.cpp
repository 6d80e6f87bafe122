// Finding the ridge endings and forks of a grey finger image: smooth it, keep the blocks where
// ridges show, split ridges from valleys by the local mean, thin the ridges to one-pixel lines
// and read each line point's neighbours. Features too close together are noise (a broken ridge,
// a spur, a small hole) and are dropped in pairs.
#include <cmath>
#include <cstdint>
#include <vector>

#include "sim/papyl/Templates.h"

namespace {

constexpr int kMinSide = 64, kMaxSide = 2048;
constexpr int kBlock = 16;               // pixels per side of a foreground block
constexpr float kMinRidgeContrast = 12;  // grey deviation that tells ridges from a bare ground
constexpr int kMeanRadius = 6;           // of the local mean that splits ridges from valleys
constexpr int kBorder = 10;              // no features this close to the image edge
constexpr int kMinSpacing = 10;          // features closer than this are noise
constexpr int kAngleRadius = 6;          // of the window that measures the ridge direction
constexpr int kMinFeatures = 8;
constexpr double kPi = 3.14159265358979323846;

struct Image {
  int width = 0, height = 0;
  std::vector<float> grey;
  float At(int x, int y) const { return grey[static_cast<size_t>(y * width + x)]; }
};

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

// A 3 x 3 mean, edges repeated, as a row pass and a column pass.
void Blur(Image& image) {
  const int w = image.width, h = image.height;
  std::vector<float> rows(image.grey.size());
  for (int y = 0; y < h; ++y) {
    const float* in = &image.grey[static_cast<size_t>(y * w)];
    float* out = &rows[static_cast<size_t>(y * w)];
    for (int x = 0; x < w; ++x) out[x] = in[x > 0 ? x - 1 : 0] + in[x] + in[x < w - 1 ? x + 1 : x];
  }
  for (int y = 0; y < h; ++y) {
    const float* above = &rows[static_cast<size_t>((y > 0 ? y - 1 : 0) * w)];
    const float* here = &rows[static_cast<size_t>(y * w)];
    const float* below = &rows[static_cast<size_t>((y < h - 1 ? y + 1 : y) * w)];
    float* out = &image.grey[static_cast<size_t>(y * w)];
    for (int x = 0; x < w; ++x) out[x] = (above[x] + here[x] + below[x]) / 9;
  }
}

Image Smoothed(const unsigned char* pixels, int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.grey.assign(pixels, pixels + width * height);
  Blur(image);
  Blur(image);
  return image;
}

// Which blocks show ridges: those whose grey values spread enough.
struct Blocks {
  int across = 0, down = 0;
  std::vector<char> ridged;
  bool Ridged(int bx, int by) const {
    return bx >= 0 && by >= 0 && bx < across && by < down &&
           ridged[static_cast<size_t>(by * across + bx)];
  }
  // Deep inside the finger: the block and all eight around it show ridges.
  bool Inner(int x, int y) const {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (!Ridged(x / kBlock + dx, y / kBlock + dy)) return false;
    return true;
  }
};

Blocks FindRidgedBlocks(const Image& image) {
  Blocks blocks;
  blocks.across = (image.width + kBlock - 1) / kBlock;
  blocks.down = (image.height + kBlock - 1) / kBlock;
  blocks.ridged.assign(static_cast<size_t>(blocks.across * blocks.down), 0);
  for (int by = 0; by < blocks.down; ++by)
    for (int bx = 0; bx < blocks.across; ++bx) {
      double sum = 0, squares = 0;
      int n = 0;
      for (int y = by * kBlock; y < (by + 1) * kBlock && y < image.height; ++y)
        for (int x = bx * kBlock; x < (bx + 1) * kBlock && x < image.width; ++x, ++n) {
          sum += image.At(x, y);
          squares += image.At(x, y) * image.At(x, y);
        }
      double mean = sum / n, spread = std::sqrt(std::fmax(0.0, squares / n - mean * mean));
      blocks.ridged[static_cast<size_t>(by * blocks.across + bx)] = spread > kMinRidgeContrast;
    }
  return blocks;
}

// Ridge pixels (1): darker than their neighbourhood, inside a ridged block; the outermost pixel
// frame stays 0 so that thinning never looks outside the image.
std::vector<unsigned char> Binarize(const Image& image, const Blocks& blocks) {
  const int w = image.width, h = image.height;
  std::vector<double> integral(static_cast<size_t>((w + 1) * (h + 1)), 0.0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      integral[static_cast<size_t>((y + 1) * (w + 1) + x + 1)] =
          image.At(x, y) + integral[static_cast<size_t>(y * (w + 1) + x + 1)] +
          integral[static_cast<size_t>((y + 1) * (w + 1) + x)] -
          integral[static_cast<size_t>(y * (w + 1) + x)];
  std::vector<unsigned char> ridge(static_cast<size_t>(w * h), 0);
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      if (!blocks.Ridged(x / kBlock, y / kBlock)) continue;
      int x0 = Clamp(x - kMeanRadius, 0, w), x1 = Clamp(x + kMeanRadius + 1, 0, w);
      int y0 = Clamp(y - kMeanRadius, 0, h), y1 = Clamp(y + kMeanRadius + 1, 0, h);
      double sum = integral[static_cast<size_t>(y1 * (w + 1) + x1)] -
                   integral[static_cast<size_t>(y0 * (w + 1) + x1)] -
                   integral[static_cast<size_t>(y1 * (w + 1) + x0)] +
                   integral[static_cast<size_t>(y0 * (w + 1) + x0)];
      double mean = sum / ((x1 - x0) * (y1 - y0));
      ridge[static_cast<size_t>(y * w + x)] = image.At(x, y) < mean;
    }
  return ridge;
}

// The eight neighbours clockwise from north, as bits 0-7.
int Neighbours(const std::vector<unsigned char>& on, int w, int at) {
  const unsigned char* p = &on[static_cast<size_t>(at)];
  return p[-w] | p[-w + 1] << 1 | p[1] << 2 | p[w + 1] << 3 | p[w] << 4 | p[w - 1] << 5 |
         p[-1] << 6 | p[-w - 1] << 7;
}

constexpr bool Bit(int neighbours, int i) { return (neighbours >> (i % 8)) & 1; }

// The thinning rule for one neighbourhood: a pixel goes when it has 2 to 6 neighbours that form
// one run, and (by half-step) its south-east or north-west side is open.
constexpr bool Removable(int n, bool firstHalf) {
  int count = 0, runs = 0;
  for (int i = 0; i < 8; ++i) {
    count += Bit(n, i);
    runs += !Bit(n, i) && Bit(n, i + 1);
  }
  if (count < 2 || count > 6 || runs != 1) return false;
  return firstHalf
             ? !(Bit(n, 0) && Bit(n, 2) && Bit(n, 4)) && !(Bit(n, 2) && Bit(n, 4) && Bit(n, 6))
             : !(Bit(n, 0) && Bit(n, 2) && Bit(n, 6)) && !(Bit(n, 0) && Bit(n, 4) && Bit(n, 6));
}

struct RemovalTable {
  bool removable[2][256];
};

constexpr RemovalTable MakeRemovalTable() {
  RemovalTable table{};
  for (int n = 0; n < 256; ++n) {
    table.removable[0][n] = Removable(n, true);
    table.removable[1][n] = Removable(n, false);
  }
  return table;
}

constexpr RemovalTable kRemovalTable = MakeRemovalTable();

// Thins the ridges to lines one pixel wide (two alternating half-steps until nothing changes).
void Thin(std::vector<unsigned char>& ridge, int w) {
  std::vector<int> live;
  for (size_t i = 0; i < ridge.size(); ++i)
    if (ridge[i]) live.push_back(static_cast<int>(i));
  std::vector<int> doomed;
  for (bool changed = true; changed;) {
    changed = false;
    for (int half = 0; half < 2; ++half) {
      doomed.clear();
      for (int at : live)
        if (kRemovalTable.removable[half][Neighbours(ridge, w, at)]) doomed.push_back(at);
      for (int at : doomed) ridge[static_cast<size_t>(at)] = 0;
      changed = changed || !doomed.empty();
    }
    size_t kept = 0;
    for (int at : live)
      if (ridge[static_cast<size_t>(at)]) live[kept++] = at;
    live.resize(kept);
  }
}

// Ridge direction through (x, y) from the smoothed grey gradients around it, degrees 0-179.
int RidgeAngle(const Image& image, int x, int y) {
  double xx = 0, yy = 0, xy = 0;
  for (int v = y - kAngleRadius; v <= y + kAngleRadius; ++v)
    for (int u = x - kAngleRadius; u <= x + kAngleRadius; ++u) {
      if (u < 1 || v < 1 || u >= image.width - 1 || v >= image.height - 1) continue;
      double gx = image.At(u + 1, v) - image.At(u - 1, v);
      double gy = image.At(u, v + 1) - image.At(u, v - 1);
      xx += gx * gx;
      yy += gy * gy;
      xy += gx * gy;
    }
  double across = 0.5 * std::atan2(2 * xy, xx - yy);  // the gradient runs across the ridges
  int degrees = static_cast<int>(std::lround((across + kPi / 2) * 180 / kPi)) % 180;
  return degrees < 0 ? degrees + 180 : degrees;
}

std::vector<Feature> FindFeatures(const Image& image, const Blocks& blocks,
                                  const std::vector<unsigned char>& line) {
  std::vector<Feature> found;
  const int w = image.width;
  for (int y = kBorder; y < image.height - kBorder; ++y)
    for (int x = kBorder; x < w - kBorder; ++x) {
      if (!line[static_cast<size_t>(y * w + x)] || !blocks.Inner(x, y)) continue;
      int n = Neighbours(line, w, y * w + x), crossings = 0;
      for (int i = 0; i < 8; ++i) crossings += Bit(n, i) != Bit(n, i + 1);
      if (crossings == 2) found.push_back({x, y, 0, 1});
      if (crossings == 6) found.push_back({x, y, 0, 2});
    }
  return found;
}

std::vector<Feature> DropCrowded(const std::vector<Feature>& found) {
  std::vector<char> crowded(found.size(), 0);
  for (size_t i = 0; i < found.size(); ++i)
    for (size_t j = i + 1; j < found.size(); ++j) {
      int dx = found[i].x - found[j].x, dy = found[i].y - found[j].y;
      if (dx * dx + dy * dy < kMinSpacing * kMinSpacing) crowded[i] = crowded[j] = 1;
    }
  std::vector<Feature> kept;
  for (size_t i = 0; i < found.size(); ++i)
    if (!crowded[i]) kept.push_back(found[i]);
  return kept;
}

void PutWord(unsigned char* at, int value) {
  at[0] = static_cast<unsigned char>(value & 0xFF);
  at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

int WriteTemplate(const std::vector<Feature>& features, int width, int height, int resolution,
                  unsigned char* buffer, int* size) {
  int count = static_cast<int>(features.size());
  if (count > kMaxFeatures) count = kMaxFeatures;
  int length = kTemplateHeaderBytes + count * kFeatureBytes;
  if (*size < length) {
    *size = length;
    return kTemplateTooSmall;
  }
  unsigned char* at = buffer + kTemplateHeaderBytes;
  int checksum = count;
  for (int i = 0; i < count; ++i, at += kFeatureBytes) {
    const Feature& f = features[static_cast<size_t>(i)];
    PutWord(at, f.x);
    PutWord(at + 2, f.y);
    at[4] = static_cast<unsigned char>(f.angle);
    at[5] = static_cast<unsigned char>(f.kind);
    for (int b = 0; b < kFeatureBytes; ++b) checksum += at[b];
  }
  buffer[0] = 'P', buffer[1] = 'X', buffer[2] = 'T', buffer[3] = '1';
  PutWord(buffer + 4, length);
  PutWord(buffer + 6, width);
  PutWord(buffer + 8, height);
  PutWord(buffer + 10, resolution & 0xFFFF);
  PutWord(buffer + 12, count);
  PutWord(buffer + 14, checksum & 0xFFFF);
  *size = length;
  return kExtracted;
}

}  // namespace

int ExtractTemplate(const unsigned char* pixels, int width, int height, int resolution,
                    unsigned char* buffer, int* size) {
  if (!size) return kBadImageArgument;
  if (!pixels || !buffer || width < kMinSide || height < kMinSide || width > kMaxSide ||
      height > kMaxSide || resolution <= 0) {
    *size = 0;
    return kBadImageArgument;
  }
  Image image = Smoothed(pixels, width, height);
  Blocks blocks = FindRidgedBlocks(image);
  std::vector<unsigned char> line = Binarize(image, blocks);
  Thin(line, width);
  std::vector<Feature> features = DropCrowded(FindFeatures(image, blocks, line));
  if (static_cast<int>(features.size()) < kMinFeatures) {
    *size = 0;
    return kImageUnusable;
  }
  for (Feature& f : features) f.angle = RidgeAngle(image, f.x, f.y);
  return WriteTemplate(features, width, height, resolution, buffer, size);
}
