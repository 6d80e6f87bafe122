// ScaleBitmap on real GDI bitmaps of other depths, its refusals and its failures; and the
// resampler's digests, which the 64-bit build and the 32-bit build must reproduce on both paths.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fingerprint/PictureScaling.h"
#include "fingerprint/Resampler.h"
#include "tests/native/resampler_digests.h"

namespace {

// Source pictures: 32-bit DIB sections painted by paint(x, y) as 0x00RRGGBB, and 8-bit ones
// whose palette index runs diagonally through PaletteColour.
struct Palette8 {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

template <typename Paint>
HBITMAP MakeSource32(int width, int height, Paint paint) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* pixels = static_cast<DWORD*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[y * width + x] = paint(x, y);
  return bitmap;
}

RGBQUAD PaletteColour(int i) {
  return {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>((i * 37) & 0xFF), 0};
}

HBITMAP MakeSource8(int width, int height) {
  Palette8 info = {};
  info.header = {sizeof(BITMAPINFOHEADER), width, height, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
  for (int i = 0; i < 256; ++i) info.colours[i] = PaletteColour(i);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const int stride = (width + 3) & ~3;
  auto* pixels = static_cast<BYTE*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[y * stride + x] = static_cast<BYTE>((x * 7 + y * 13) & 0xFF);
  return bitmap;
}

struct Pixels24 {
  int width = 0, height = 0;
  std::vector<BYTE> bytes;
  const BYTE* At(int x, int y) const { return &bytes[static_cast<size_t>(y) * PixelStride(width) + 3u * static_cast<size_t>(x)]; }
};

// Any bitmap read back through GDI in the 24-bit layout.
Pixels24 Read24(HBITMAP bitmap) {
  BITMAP info = {};
  Pixels24 p;
  if (GetObjectA(bitmap, sizeof info, &info) != sizeof info) return p;
  BITMAPINFO* header = MakeDibHeader(static_cast<WORD>(info.bmWidth), static_cast<WORD>(info.bmHeight));
  if (!header) return p;
  p.width = info.bmWidth;
  p.height = info.bmHeight;
  p.bytes.assign(header->bmiHeader.biSizeImage, 0);
  HDC screen = GetDC(nullptr);
  if (GetDIBits(screen, bitmap, 0, static_cast<UINT>(p.height), p.bytes.data(), header, DIB_RGB_COLORS) != p.height) {
    p.bytes.clear();
  }
  ReleaseDC(nullptr, screen);
  HeapFree(GetProcessHeap(), 0, header);
  return p;
}

bool SamePixels(const Pixels24& a, const Pixels24& b) {
  if (a.width != b.width || a.height != b.height || a.bytes.empty() || b.bytes.empty()) return false;
  return PixelDigest(a.bytes.data(), a.width, a.height) == PixelDigest(b.bytes.data(), b.width, b.height);
}

// What ScaleBitmap must give: the source's 24-bit pixels resampled, then framed.
Pixels24 Expected(const Pixels24& source, int width, int height) {
  Pixels24 p{width, height, std::vector<BYTE>(PixelStride(width) * static_cast<size_t>(height), 0)};
  const bool grow = ChooseScaleRoute(source.width, source.height, width, height) == ScaleRoute::Grow;
  const bool done = grow ? GrowPixels(source.bytes.data(), source.width, source.height, p.bytes.data(), width, height)
                         : ShrinkPixels(source.bytes.data(), source.width, source.height, p.bytes.data(), width, height);
  if (!done) p.bytes.clear();
  PaintBlackFrame(p.bytes.data(), width, height);
  return p;
}

// Blocks of the process heap in use: what ScaleBitmap takes from it, it must give back.
int BusyHeapBlocks() {
  HANDLE heap = GetProcessHeap();
  int busy = 0;
  PROCESS_HEAP_ENTRY entry = {};
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
  HeapUnlock(heap);
  return busy;
}

TEST(ScaleBitmap, RoundTripsThirtyTwoBitAndEightBitSources) {
  const struct { int depth, sw, sh, tw, th; } cases[] = {
      {32, 512, 384, 150, 150}, {32, 75, 75, 150, 150}, {32, 150, 100, 150, 150},
      {8, 300, 300, 150, 150},  {8, 97, 61, 150, 150},  {8, 7, 7, 3, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.depth << "-bit " << c.sw << "x" << c.sh << " to " << c.tw << "x" << c.th);
    HBITMAP source = c.depth == 32 ? MakeSource32(c.sw, c.sh, [](int x, int y) { return static_cast<DWORD>(x * 0x010305 + y * 0x030102); })
                                   : MakeSource8(c.sw, c.sh);
    ASSERT_NE(source, nullptr);
    const Pixels24 before = Read24(source);
    HBITMAP result = ScaleBitmap(source, static_cast<WORD>(c.tw), static_cast<WORD>(c.th));
    ASSERT_NE(result, nullptr);
    const Pixels24 scaled = Read24(result);
    EXPECT_EQ(scaled.width, c.tw);
    EXPECT_EQ(scaled.height, c.th);
    EXPECT_TRUE(SamePixels(scaled, Expected(before, c.tw, c.th)));
    EXPECT_TRUE(SamePixels(Read24(source), before)) << "the source changed";
    DeleteObject(result);
    DeleteObject(source);
  }
}

TEST(ScaleBitmap, HalvingMeansBlocksInsideABlackFrame) {
  // Blue 1, 2, 3 and 4 in each 2 x 2 block; green and red 200.
  HBITMAP source = MakeSource32(300, 300, [](int x, int y) { return static_cast<DWORD>(0xC8C800 + 1 + x % 2 + 2 * (y % 2)); });
  HBITMAP result = ScaleBitmap(source, 150, 150);
  ASSERT_NE(result, nullptr);
  const Pixels24 p = Read24(result);
  ASSERT_FALSE(p.bytes.empty());
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 150; ++x) {
      const bool edge = x == 0 || y == 0 || x == 149 || y == 149;
      const BYTE* px = p.At(x, y);
      ASSERT_EQ(px[0], edge ? 0 : 2) << x << "," << y;
      ASSERT_EQ(px[1], edge ? 0 : 200) << x << "," << y;
      ASSERT_EQ(px[2], edge ? 0 : 200) << x << "," << y;
    }
  }
  DeleteObject(result);
  DeleteObject(source);
}

TEST(ScaleBitmap, TinyTargetsKeepOnlyWhatTheFrameLeaves) {
  HBITMAP source = MakeSource32(40, 40, [](int, int) { return DWORD{0x808080}; });
  const int sizes[][2] = {{1, 1}, {1, 5}, {2, 2}, {5, 2}, {3, 3}};
  for (const auto& s : sizes) {
    HBITMAP result = ScaleBitmap(source, static_cast<WORD>(s[0]), static_cast<WORD>(s[1]));
    ASSERT_NE(result, nullptr) << s[0] << "x" << s[1];
    const Pixels24 p = Read24(result);
    ASSERT_FALSE(p.bytes.empty());
    for (int y = 0; y < s[1]; ++y)
      for (int x = 0; x < s[0]; ++x)
        EXPECT_EQ(p.At(x, y)[1], (s[0] == 3 && x == 1 && y == 1) ? 0x80 : 0) << s[0] << "x" << s[1] << " at " << x << "," << y;
    DeleteObject(result);
  }
  DeleteObject(source);
}

TEST(ScaleBitmap, RefusesMixedDirectionsZeroTargetsAndOversizedSources) {
  const struct { int sw, sh, tw, th; } cases[] = {
      {200, 100, 150, 150}, {100, 200, 150, 150}, {150, 150, 0, 150}, {150, 150, 150, 0},
      {10000, 1, 150, 1},   {1, 10000, 1, 150}};
  for (const auto& c : cases) {
    HBITMAP source = MakeSource32(c.sw, c.sh, [](int, int) { return DWORD{0x123456}; });
    ASSERT_NE(source, nullptr);
    const int busy = BusyHeapBlocks();
    EXPECT_EQ(ScaleBitmap(source, static_cast<WORD>(c.tw), static_cast<WORD>(c.th)), nullptr)
        << c.sw << "x" << c.sh << " to " << c.tw << "x" << c.th;
    EXPECT_EQ(BusyHeapBlocks(), busy);
    DeleteObject(source);
  }
}

TEST(ScaleBitmap, GivesNullForHandlesThatAreNotBitmaps) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HDC screen = GetDC(nullptr);
  HBITMAP deleted = MakeSource32(4, 4, [](int, int) { return DWORD{0}; });
  DeleteObject(deleted);
  const HGDIOBJ handles[] = {nullptr, brush, screen, deleted, reinterpret_cast<HGDIOBJ>(0x1234)};
  for (HGDIOBJ handle : handles) {
    EXPECT_EQ(ScaleBitmap(static_cast<HBITMAP>(handle), 150, 150), nullptr) << handle;
  }
  ReleaseDC(nullptr, screen);
  DeleteObject(brush);
}

TEST(ScaleBitmap, GivesNullWhenTheTargetCannotBeHad) {
  // 65535 x 65535 pixels of three bytes do not fit the header's 32-bit byte count.
  HBITMAP source = MakeSource32(2, 2, [](int, int) { return DWORD{0xFFFFFF}; });
  const int busy = BusyHeapBlocks();
  EXPECT_EQ(ScaleBitmap(source, 65535, 65535), nullptr);
  EXPECT_EQ(BusyHeapBlocks(), busy);
  DeleteObject(source);
}

TEST(MakeDibHeader, DescribesATwentyFourBitBottomUpPicture) {
  BITMAPINFO* header = MakeDibHeader(150, 100);
  ASSERT_NE(header, nullptr);
  BITMAPINFO want = {};
  want.bmiHeader = {40, 150, 100, 1, 24, BI_RGB, 452 * 100, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(header, &want, sizeof want), 0);
  HeapFree(GetProcessHeap(), 0, header);
  EXPECT_EQ(MakeDibHeader(65535, 65535), nullptr);
}

// The same bytes as the native build gave, on both paths: the 32-bit build computes the plain path
// with x87 instructions and the vector path with SSE2, and each must round exactly as the native
// build does. The processors these tests run on have SSE2, so the vector path is the one taken.
TEST(Resampler, ReproducesTheDigestsOfEveryBuildOnBothPaths) {
  ASSERT_TRUE(ResamplerTakesVectorPath());
  for (const bool vector : {false, true}) {
    SetResamplerVectorPath(vector);
    for (const DigestCase& c : kDigestCases) {
      const std::vector<std::uint8_t> got = ResampleDigestCase(c);
      ASSERT_FALSE(got.empty());
      EXPECT_EQ(PixelDigest(got.data(), c.targetWidth, c.targetHeight), c.digest)
          << (vector ? "vector" : "plain") << " path, " << c.sourceWidth << "x" << c.sourceHeight << " to "
          << c.targetWidth << "x" << c.targetHeight << ", value " << c.value << ", seed " << c.seed;
    }
  }
  SetResamplerVectorPath(true);
}

}  // namespace
