// Feature pictures. Each feature gets a small square and a stroke along its ridge: colours 1 and
// 3 normally, 2 and 4 for a feature that the last comparison on context 0 paired. Colours 5 and
// 6 are not used; a value with its top byte set is no colour and is not drawn.
#include "sim/papyl/Display.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "sim/CriticalSectionLock.h"

namespace {

constexpr int kMaxSide = 4096;
constexpr int kMarkRadius = 3;
constexpr int kStrokeLength = 8;
constexpr double kPi = 3.14159265358979323846;
const DWORD kDefaultColours[kDisplayColourCount] = {0x000000FF, 0x0000FF00, 0x008080FF,
                                                    0x0080FF80, 0x1FFFFFFF, 0x1FFFFFFF};

struct BitmapRecord {
  HBITMAP bitmap;
  int width, height;
};

struct DisplayState {
  CRITICAL_SECTION lock;
  DWORD colours[kDisplayColourCount];
  bool makesBitmap;
  std::vector<BitmapRecord> bitmaps;
  // The last comparison on context 0: both templates as they were, and the pairs found.
  unsigned char candidate[kMaxTemplateBytes], reference[kMaxTemplateBytes];
  int pairCount;
  FeaturePair pairs[kMaxFeatures];
};
DisplayState display;

struct Locked : CriticalSectionLock {
  Locked() : CriticalSectionLock(display.lock) {}
};

struct Picture {
  int width, height;
  std::vector<DWORD> pixels;  // top-down, 0x00RRGGBB as a 32-bit DIB holds them
  void Put(int x, int y, DWORD colour) {
    if (x >= 0 && y >= 0 && x < width && y < height && !(colour >> 24))
      pixels[static_cast<size_t>(y * width + x)] =
          (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
  }
};

void DrawMark(Picture& picture, const Feature& feature, DWORD square, DWORD stroke) {
  for (int d = -kMarkRadius; d <= kMarkRadius; ++d) {
    picture.Put(feature.x + d, feature.y - kMarkRadius, square);
    picture.Put(feature.x + d, feature.y + kMarkRadius, square);
    picture.Put(feature.x - kMarkRadius, feature.y + d, square);
    picture.Put(feature.x + kMarkRadius, feature.y + d, square);
  }
  double angle = feature.angle * kPi / 180;
  for (int step = kMarkRadius + 1; step <= kStrokeLength; ++step)
    picture.Put(feature.x + static_cast<int>(std::lround(step * std::cos(angle))),
                feature.y - static_cast<int>(std::lround(step * std::sin(angle))), stroke);
}

// Which of the template's features the remembered match paired (under the lock).
void MarkPaired(const unsigned char* fingerprintTemplate, int length, bool paired[]) {
  bool asCandidate =
      std::memcmp(display.candidate, fingerprintTemplate, static_cast<size_t>(length)) == 0;
  bool asReference =
      std::memcmp(display.reference, fingerprintTemplate, static_cast<size_t>(length)) == 0;
  for (int i = 0; i < display.pairCount; ++i) {
    if (asCandidate)
      paired[display.pairs[i].candidate] = true;
    else if (asReference)
      paired[display.pairs[i].reference] = true;
  }
}

void DrawFeatures(Picture& picture, const unsigned char* fingerprintTemplate, int matchContext) {
  static FeatureSet features;  // large; only used under the lock
  int length = TemplateLength(fingerprintTemplate);
  if (length == 0 || !ReadTemplate(fingerprintTemplate, features)) return;
  bool paired[kMaxFeatures] = {};
  if (matchContext == 0) MarkPaired(fingerprintTemplate, length, paired);
  for (int i = 0; i < features.count; ++i)
    DrawMark(picture, features.features[i], display.colours[paired[i] ? 1 : 0],
             display.colours[paired[i] ? 3 : 2]);
}

HBITMAP MakeBitmap(const Picture& picture, HDC dc) {
  HDC use = dc ? dc : GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(use, picture.width, picture.height);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  if (bitmap && SetDIBits(use, bitmap, 0, static_cast<UINT>(picture.height), picture.pixels.data(),
                          &info, DIB_RGB_COLORS) != picture.height) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (!dc) ReleaseDC(nullptr, use);
  return bitmap;
}

}  // namespace

void InitialiseDisplay() { InitializeCriticalSection(&display.lock); }

void ResetDisplay() {
  Locked locked;
  std::memcpy(display.colours, kDefaultColours, sizeof display.colours);
  display.makesBitmap = true;
  display.bitmaps.clear();
  std::memset(display.candidate, 0, sizeof display.candidate);
  std::memset(display.reference, 0, sizeof display.reference);
  display.pairCount = 0;
}

void SetDisplayColours(const DWORD colours[kDisplayColourCount]) {
  Locked locked;
  std::memcpy(display.colours, colours, sizeof display.colours);
}

void SetDisplayMakesBitmap(bool makes) {
  Locked locked;
  display.makesBitmap = makes;
}

void RememberMatch(const unsigned char* candidate, const unsigned char* reference,
                   const Comparison& comparison) {
  Locked locked;
  std::memset(display.candidate, 0, sizeof display.candidate);
  std::memset(display.reference, 0, sizeof display.reference);
  std::memcpy(display.candidate, candidate, static_cast<size_t>(TemplateLength(candidate)));
  std::memcpy(display.reference, reference, static_cast<size_t>(TemplateLength(reference)));
  display.pairCount = comparison.pairCount;
  std::memcpy(display.pairs, comparison.pairs, sizeof display.pairs);
}

int DrawBiometricPicture(const unsigned char* fingerprintTemplate, const unsigned char* pixels,
                         int width, int height, HDC dc, HBITMAP* bitmap, int matchContext) {
  if (!bitmap) return -1;
  *bitmap = nullptr;
  if (!pixels || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return -1;
  Picture picture{width, height, std::vector<DWORD>(static_cast<size_t>(width * height))};
  for (size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = static_cast<DWORD>(pixels[i]) * 0x010101u;
  Locked locked;
  if (!display.makesBitmap) return 0;
  DrawFeatures(picture, fingerprintTemplate, matchContext);
  *bitmap = MakeBitmap(picture, dc);
  if (!*bitmap) return -1;
  display.bitmaps.push_back({*bitmap, width, height});
  return 0;
}

int BitmapsMade() {
  Locked locked;
  return static_cast<int>(display.bitmaps.size());
}

int BitmapsAlive() {
  Locked locked;
  int alive = 0;
  for (const BitmapRecord& record : display.bitmaps) {
    BITMAP info;
    // A handle can be reused for a later object: only a bitmap of the same size counts.
    alive += GetObjectType(record.bitmap) == OBJ_BITMAP &&
             GetObjectA(record.bitmap, sizeof info, &info) == sizeof info &&
             info.bmWidth == record.width && info.bmHeight == record.height;
  }
  return alive;
}
