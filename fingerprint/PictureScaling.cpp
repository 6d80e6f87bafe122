// ScaleBitmap: source pixels through GDI into a 24-bit buffer, the resampler, the black frame,
// and back through GDI into a new bitmap. Every failure releases what was taken and gives null.
#include "fingerprint/PictureScaling.h"

#include "fingerprint/Resampler.h"

namespace {

BYTE* AllocatePixels(const BITMAPINFO* header) {
  return static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, header->bmiHeader.biSizeImage));
}

void Release(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

// The source's pixels in the 24-bit layout, converted by GDI from whatever format it has.
BYTE* ReadSourcePixels(HDC screen, HBITMAP source, int width, int height) {
  BITMAPINFO* header = MakeDibHeader(static_cast<WORD>(width), static_cast<WORD>(height));
  BYTE* pixels = header ? AllocatePixels(header) : nullptr;
  if (pixels && GetDIBits(screen, source, 0, static_cast<UINT>(height), pixels, header,
                          DIB_RGB_COLORS) != height) {
    Release(pixels);
    pixels = nullptr;
  }
  Release(header);
  return pixels;
}

HBITMAP PixelsToBitmap(HDC screen, const BYTE* pixels, const BITMAPINFO* header) {
  const int width = header->bmiHeader.biWidth;
  const int height = header->bmiHeader.biHeight;
  HBITMAP result = CreateCompatibleBitmap(screen, width, height);
  if (result && SetDIBits(screen, result, 0, static_cast<UINT>(height), pixels, header,
                          DIB_RGB_COLORS) != height) {
    DeleteObject(result);
    result = nullptr;
  }
  return result;
}

HBITMAP ScaleOnScreen(HDC screen, HBITMAP source, const BITMAP& info, WORD width, WORD height,
                      ScaleRoute route) {
  BYTE* sourcePixels = ReadSourcePixels(screen, source, info.bmWidth, info.bmHeight);
  BITMAPINFO* header = sourcePixels ? MakeDibHeader(width, height) : nullptr;
  BYTE* pixels = header ? AllocatePixels(header) : nullptr;
  const bool resampled =
      pixels && (route == ScaleRoute::Grow
                     ? GrowPixels(sourcePixels, info.bmWidth, info.bmHeight, pixels, width, height)
                     : ShrinkPixels(sourcePixels, info.bmWidth, info.bmHeight, pixels, width, height));
  Release(sourcePixels);
  HBITMAP result = nullptr;
  if (resampled) {
    PaintBlackFrame(pixels, width, height);
    result = PixelsToBitmap(screen, pixels, header);
  }
  Release(pixels);
  Release(header);
  return result;
}

}  // namespace

BITMAPINFO* MakeDibHeader(WORD width, WORD height) {
  const ULONGLONG bytes = static_cast<ULONGLONG>(PixelStride(width)) * height;
  if (bytes > MAXDWORD) return nullptr;
  auto* header = static_cast<BITMAPINFO*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BITMAPINFO)));
  if (!header) return nullptr;
  header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header->bmiHeader.biWidth = width;
  header->bmiHeader.biHeight = height;
  header->bmiHeader.biPlanes = 1;
  header->bmiHeader.biBitCount = 24;
  header->bmiHeader.biSizeImage = static_cast<DWORD>(bytes);
  return header;
}

HBITMAP ScaleBitmap(HBITMAP source, WORD width, WORD height) {
  BITMAP info = {};
  if (GetObjectType(source) != OBJ_BITMAP || GetObjectA(source, sizeof info, &info) != sizeof info) {
    return nullptr;
  }
  const ScaleRoute route = ChooseScaleRoute(info.bmWidth, info.bmHeight, width, height);
  if (route == ScaleRoute::Refused) return nullptr;
  HDC screen = GetDC(nullptr);
  if (!screen) return nullptr;
  HBITMAP result = ScaleOnScreen(screen, source, info, width, height, route);
  ReleaseDC(nullptr, screen);
  return result;
}
