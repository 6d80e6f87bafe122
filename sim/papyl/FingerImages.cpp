// Synthetic fingers. A finger's ridges follow a smooth wave (rings round a centre, or arches),
// bent by slow warps; each ridge ending or fork is a point where the wave's phase turns once
// round, which is what a real ending or fork looks like to a reader. A placement shifts the
// finger a few pixels, changes pressure and contrast, and adds noise.
#include "sim/papyl/FingerImages.h"

#include <cmath>
#include <cstdint>
#include <memory>

namespace {

constexpr int kMaxShift = 6;  // pixels a placement may move the finger either way
constexpr int kCanvasWidth = kFingerImageWidth + 2 * kMaxShift;
constexpr int kCanvasHeight = kFingerImageHeight + 2 * kMaxShift;
constexpr int kMaxSingularities = 36;
constexpr double kPi = 3.14159265358979323846;

// A small deterministic generator: the same seed always gives the same finger.
struct Random {
  uint64_t state;
  uint64_t Next() {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform(double low, double high) {
    return low + (high - low) * static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
  }
  int Integer(int low, int high) {  // both ends included
    return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
  }
};

Random SeededBy(int finger, int placement, uint64_t salt) {
  Random random{(static_cast<uint64_t>(static_cast<uint32_t>(finger)) << 32 ^
                 static_cast<uint32_t>(placement)) *
                    0xD6E8FEB86659FD93ull ^
                salt};
  random.Next();
  return random;
}

struct Singularity {
  double x, y;
  int turn;  // +1 or -1: which way the phase turns round the point
};

struct FingerShape {
  bool whorl;     // rings round a centre; otherwise arches
  double period;  // ridge spacing in pixels
  double centreX, centreY, stretchX, stretchY, tilt, archHeight, archWidth;
  double warpAmplitude[2], warpX[2], warpY[2], warpPhase[2];
  double outlineX, outlineY, outlineA, outlineB;  // the fingertip's ellipse on the canvas
  Singularity points[kMaxSingularities];
  int pointCount;
};

bool InsideOutline(const FingerShape& s, double x, double y, double shrink) {
  double u = (x - s.outlineX) / (s.outlineA * shrink), v = (y - s.outlineY) / (s.outlineB * shrink);
  return u * u + v * v < 1.0;
}

// Endings and forks spread over the fingertip, never closer together than a couple of ridges.
void PlaceSingularities(FingerShape& s, Random& random) {
  int wanted = random.Integer(24, kMaxSingularities);
  s.pointCount = 0;
  for (int attempt = 0; attempt < 2000 && s.pointCount < wanted; ++attempt) {
    double x = random.Uniform(0, kCanvasWidth) + 0.37, y = random.Uniform(0, kCanvasHeight) + 0.29;
    bool clear = InsideOutline(s, x, y, 0.82) && std::hypot(x - s.centreX, y - s.centreY) > 24;
    for (int i = 0; clear && i < s.pointCount; ++i)
      clear = std::hypot(x - s.points[i].x, y - s.points[i].y) > 20;
    if (clear) s.points[s.pointCount++] = {x, y, random.Integer(0, 1) ? 1 : -1};
  }
}

FingerShape ShapeOf(int finger) {
  Random random = SeededBy(finger, 0, 0x51A7E0F1u);
  FingerShape s{};
  s.whorl = random.Integer(0, 2) != 0;
  s.period = random.Uniform(8.5, 10.5);
  s.centreX = kCanvasWidth / 2.0 + random.Uniform(-35, 35);
  s.centreY = kCanvasHeight * 0.45 + random.Uniform(-45, 45);
  s.stretchX = random.Uniform(0.6, 1.4);
  s.stretchY = random.Uniform(0.6, 1.4);
  s.tilt = random.Uniform(-0.6, 0.6);
  s.archHeight = random.Uniform(20, 90);
  s.archWidth = random.Uniform(40, 90);
  for (int j = 0; j < 2; ++j) {
    double wavelength = random.Uniform(90, 260), heading = random.Uniform(0, 2 * kPi);
    // Gentle enough that the warps never flatten the ridges out into blotches.
    s.warpAmplitude[j] = wavelength * random.Uniform(0.01, 0.035);
    s.warpX[j] = 2 * kPi / wavelength * std::cos(heading);
    s.warpY[j] = 2 * kPi / wavelength * std::sin(heading);
    s.warpPhase[j] = random.Uniform(0, 2 * kPi);
  }
  s.outlineX = kCanvasWidth / 2.0 + random.Uniform(-6, 6);
  s.outlineY = kCanvasHeight * 0.56 + random.Uniform(-8, 8);
  s.outlineA = random.Uniform(104, 120);
  s.outlineB = random.Uniform(175, 200);
  PlaceSingularities(s, random);
  return s;
}

// cos and sin of a phase, good to about 1e-7: plenty for grey levels, and much quicker than the
// library's functions, which would take most of the drawing time.
void CosSin(double phase, double& cosine, double& sine) {
  double turns = phase / (2 * kPi);
  phase -= 2 * kPi * static_cast<double>(static_cast<long long>(turns + (turns < 0 ? -0.5 : 0.5)));
  double sign = 1;  // fold [-pi, pi] onto [-pi/2, pi/2], where the series converge fast
  if (phase > kPi / 2) phase = kPi - phase, sign = -1;
  if (phase < -kPi / 2) phase = -kPi - phase, sign = -1;
  double p2 = phase * phase;
  sine = phase * (1 - p2 / 6 * (1 - p2 / 20 * (1 - p2 / 42 * (1 - p2 / 72 * (1 - p2 / 110)))));
  cosine = sign * (1 - p2 / 2 * (1 - p2 / 12 * (1 - p2 / 30 * (1 - p2 / 56 * (1 - p2 / 90)))));
}

// One canvas row of the pattern: the ridge distance terms that depend on x alone or y alone are
// worked out once per column or row.
struct RowPainter {
  const FingerShape& s;
  double cosTilt, sinTilt;
  double warpSinX[2][kCanvasWidth], warpCosX[2][kCanvasWidth];
  double turnRe[kCanvasWidth], turnIm[kCanvasWidth];

  explicit RowPainter(const FingerShape& shape)
      : s(shape), cosTilt(std::cos(shape.tilt)), sinTilt(std::sin(shape.tilt)) {
    for (int j = 0; j < 2; ++j)
      for (int x = 0; x < kCanvasWidth; ++x) {
        warpSinX[j][x] = std::sin(s.warpX[j] * x);
        warpCosX[j][x] = std::cos(s.warpX[j] * x);
      }
  }

  // The turns of every ending and fork along the row, as complex numbers whose angle is the sum
  // of the turns: a product of one factor per point spares an arctangent per point and pixel.
  void Turns(int y) {
    for (int x = 0; x < kCanvasWidth; ++x) turnRe[x] = 1, turnIm[x] = 0;
    for (int i = 0; i < s.pointCount; ++i) {
      const double fy = (y - s.points[i].y) * s.points[i].turn, px = s.points[i].x;
      for (int x = 0; x < kCanvasWidth; ++x) {
        double fx = x - px, re = turnRe[x] * fx - turnIm[x] * fy;
        turnIm[x] = turnRe[x] * fy + turnIm[x] * fx;
        turnRe[x] = re;
      }
    }
  }

  // Distance, in pixels across the ridges, from the pattern's centre or reference line.
  double Distance(int x, int y, const double warpSinY[2], const double warpCosY[2]) const {
    double dx = x - s.centreX, dy = y - s.centreY;
    double u = dx * cosTilt + dy * sinTilt, v = -dx * sinTilt + dy * cosTilt;
    double d = s.whorl ? std::sqrt(u * u * s.stretchX + v * v * s.stretchY)
                       : v - s.archHeight * std::exp(-u * u / (2 * s.archWidth * s.archWidth));
    for (int j = 0; j < 2; ++j)  // sin(a x + b y + c), split into its x and y parts
      d += s.warpAmplitude[j] * (warpSinX[j][x] * warpCosY[j] + warpCosX[j][x] * warpSinY[j]);
    return d;
  }

  void Paint(int y, float* cover, float* ridges) {
    Turns(y);
    double warpSinY[2], warpCosY[2];
    for (int j = 0; j < 2; ++j) {
      warpSinY[j] = std::sin(s.warpY[j] * y + s.warpPhase[j]);
      warpCosY[j] = std::cos(s.warpY[j] * y + s.warpPhase[j]);
    }
    for (int x = 0; x < kCanvasWidth; ++x) {
      cover[x] = Cover(x, y);
      double length = std::sqrt(turnRe[x] * turnRe[x] + turnIm[x] * turnIm[x]);
      if (cover[x] <= 0 || length == 0) continue;
      double cosine, sine;
      CosSin(2 * kPi * Distance(x, y, warpSinY, warpCosY) / s.period, cosine, sine);
      ridges[x] = cover[x] * static_cast<float>((cosine * turnRe[x] - sine * turnIm[x]) / length);
    }
  }

  float Cover(double x, double y) const {
    double u = (x - s.outlineX) / s.outlineA, v = (y - s.outlineY) / s.outlineB;
    double inside = (1 - std::sqrt(u * u + v * v)) * s.outlineA / 6;  // a 6-pixel soft edge
    return static_cast<float>(inside < 0 ? 0 : inside > 1 ? 1 : inside);
  }
};

void PaintCanvas(FingerCanvas& canvas, int finger) {
  FingerShape shape = ShapeOf(finger);
  canvas.cover.assign(static_cast<size_t>(kCanvasWidth) * kCanvasHeight, 0.0f);
  canvas.ridges.assign(canvas.cover.size(), 0.0f);
  std::unique_ptr<RowPainter> painter(new RowPainter(shape));
  for (int y = 0; y < kCanvasHeight; ++y) {
    size_t row = static_cast<size_t>(y) * kCanvasWidth;
    painter->Paint(y, &canvas.cover[row], &canvas.ridges[row]);
  }
  canvas.finger = finger;
}

unsigned char ClampToByte(double value) {
  return static_cast<unsigned char>(value < 0 ? 0 : value > 255 ? 255 : value + 0.5);
}

}  // namespace

bool DrawFingerImage(FingerCanvas& canvas, int finger, int placement, unsigned char* pixels) {
  if (finger < 1 || placement < 0 || !pixels) return false;
  if (canvas.finger != finger) PaintCanvas(canvas, finger);
  Random random = SeededBy(finger, placement, 0x9A7E11u);
  int shiftX = random.Integer(-kMaxShift, kMaxShift),
      shiftY = random.Integer(-kMaxShift, kMaxShift);
  double ground = random.Uniform(225, 245), middle = random.Uniform(95, 125);
  double contrast = random.Uniform(55, 80), pressure = random.Uniform(-0.15, 0.15);
  for (int y = 0; y < kFingerImageHeight; ++y) {
    const size_t row = static_cast<size_t>(y + kMaxShift - shiftY) * kCanvasWidth;
    for (int x = 0; x < kFingerImageWidth; ++x) {
      size_t at = row + static_cast<size_t>(x + kMaxShift - shiftX);
      double cover = canvas.cover[at];
      double noise = (random.Uniform(0, 1) + random.Uniform(0, 1) - 1) * 24;
      double grey =
          ground - cover * (ground - middle) - contrast * (canvas.ridges[at] + pressure * cover);
      pixels[y * kFingerImageWidth + x] = ClampToByte(grey + noise);
    }
  }
  return true;
}
