// The four notice pictures and icon 106 as the built VoDUVO.dll holds them: their language tags,
// their exact headers, and what LoadBitmapA and LoadIconA make of them.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <set>
#include <string>

#include "tests/wine/support/ModuleUnderTest.h"

namespace {

constexpr LANGID kPortugueseBrazil = 1046;
constexpr LANGID kNeutral = 0;
constexpr int kSide = 150;
constexpr DWORD kStride = 452;  // 150 pixels of 3 bytes, padded to 4
constexpr DWORD kPixelBytes = kStride * kSide;

struct Picture {
  WORD id;
  int edition;
  bool ready;  // ready: a hand with its thumb up; waiting: an hourglass
};

const Picture kPictures[] = {
    {110, 1, true},
    {109, 2, true},
    {113, 1, false},
    {112, 2, false},
};

std::string Describe(const Picture& p) {
  return "bitmap " + std::to_string(p.id) + " (edition " + std::to_string(p.edition) +
         (p.ready ? ", ready)" : ", waiting)");
}

void PrintTo(const Picture& p, std::ostream* out) { *out << Describe(p); }

struct Bytes {
  const BYTE* data = nullptr;
  DWORD size = 0;
};

Bytes ResourceBytes(HMODULE module, LPCSTR type, WORD id, LANGID language) {
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), language);
  if (!found) return {};
  return {static_cast<const BYTE*>(LockResource(LoadResource(module, found))),
          SizeofResource(module, found)};
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::set<LANGID>*>(found)->insert(language);
  return TRUE;
}

std::set<LANGID> LanguagesOf(HMODULE module, LPCSTR type, WORD id) {
  std::set<LANGID> languages;
  EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(id), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

// Pixel rows of a stored picture, bottom-up as stored: row 0 is the bottom line.
const BYTE* PixelsOf(HMODULE module, WORD id) {
  Bytes b = ResourceBytes(module, RT_BITMAP, id, kPortugueseBrazil);
  return b.size == sizeof(BITMAPINFOHEADER) + kPixelBytes ? b.data + sizeof(BITMAPINFOHEADER)
                                                          : nullptr;
}

// Whether two pictures agree on the rows from top line `top` down to line `bottom` (exclusive),
// counted from the top as a viewer sees them, within columns [left, right).
bool SameArea(const BYTE* a, const BYTE* b, int top, int bottom, int left, int right) {
  for (int line = top; line < bottom; ++line) {
    size_t offset = static_cast<size_t>(kSide - 1 - line) * kStride + static_cast<size_t>(left) * 3;
    if (memcmp(a + offset, b + offset, static_cast<size_t>(right - left) * 3) != 0) return false;
  }
  return true;
}

class NoticePicture : public testing::TestWithParam<Picture> {
 protected:
  ModuleUnderTest module_;
};

TEST_P(NoticePicture, IsStoredOnceUnderBrazilianPortuguese) {
  EXPECT_EQ(LanguagesOf(module_.Handle(), RT_BITMAP, GetParam().id),
            std::set<LANGID>{kPortugueseBrazil})
      << Describe(GetParam());
}

TEST_P(NoticePicture, HasTheExactBitmapHeader) {
  const Picture& p = GetParam();
  Bytes b = ResourceBytes(module_.Handle(), RT_BITMAP, p.id, kPortugueseBrazil);
  ASSERT_NE(b.data, nullptr) << Describe(p);
  ASSERT_EQ(b.size, sizeof(BITMAPINFOHEADER) + 67800) << Describe(p) << ": no colour table";
  BITMAPINFOHEADER h;
  memcpy(&h, b.data, sizeof h);
  EXPECT_EQ(h.biSize, 40u) << Describe(p);
  EXPECT_EQ(h.biWidth, 150) << Describe(p);
  EXPECT_EQ(h.biHeight, 150) << Describe(p) << ": positive, rows bottom-up";
  EXPECT_EQ(h.biPlanes, 1) << Describe(p);
  EXPECT_EQ(h.biBitCount, 24) << Describe(p);
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB)) << Describe(p);
  EXPECT_EQ(h.biSizeImage, 67800u) << Describe(p);
  EXPECT_EQ(h.biXPelsPerMeter, 3937) << Describe(p);
  EXPECT_EQ(h.biYPelsPerMeter, 3937) << Describe(p);
  EXPECT_EQ(h.biClrUsed, 0u) << Describe(p);
  EXPECT_EQ(h.biClrImportant, 0u) << Describe(p);
}

// LoadBitmapA looks in the thread's language first; the one Portuguese copy must still be found
// whichever language the thread runs in.
TEST_P(NoticePicture, LoadsWithLoadBitmapInEitherThreadLanguage) {
  const Picture& p = GetParam();
  LCID before = GetThreadLocale();
  for (LCID locale : {1033u, 1046u}) {
    SetThreadLocale(locale);
    HBITMAP bitmap = LoadBitmapA(module_.Handle(), MAKEINTRESOURCEA(p.id));
    EXPECT_NE(bitmap, nullptr) << Describe(p) << " with thread locale " << locale;
    if (!bitmap) continue;
    BITMAP info{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 150) << Describe(p);
    EXPECT_EQ(info.bmHeight, 150) << Describe(p);
    DeleteObject(bitmap);
  }
  SetThreadLocale(before);
}

INSTANTIATE_TEST_SUITE_P(AllFour, NoticePicture, testing::ValuesIn(kPictures),
                         [](const testing::TestParamInfo<Picture>& param) {
                           return "Bitmap" + std::to_string(param.param.id);
                         });

// The artwork's layout: the logo in the upper left corner of every picture, the figure (hand or
// hourglass) in the middle, the edition's name along the bottom below line 128.
TEST(NoticePictures, ShowTheSameLogoInTheUpperLeftCorner) {
  ModuleUnderTest module;
  const BYTE* first = PixelsOf(module.Handle(), kPictures[0].id);
  ASSERT_NE(first, nullptr);
  for (const Picture& p : kPictures) {
    const BYTE* pixels = PixelsOf(module.Handle(), p.id);
    ASSERT_NE(pixels, nullptr) << Describe(p);
    // Ready and waiting pictures have different backgrounds: only the logo can make them agree.
    EXPECT_TRUE(SameArea(first, pixels, 10, 32, 10, 32)) << Describe(p);
  }
}

TEST(NoticePictures, ReadyAndWaitingShowDifferentFigures) {
  ModuleUnderTest module;
  for (int edition : {1, 2}) {
    const BYTE* ready = PixelsOf(module.Handle(), edition == 1 ? 110 : 109);
    const BYTE* waiting = PixelsOf(module.Handle(), edition == 1 ? 113 : 112);
    ASSERT_TRUE(ready && waiting) << "edition " << edition;
    EXPECT_FALSE(SameArea(ready, waiting, 40, 120, 40, 120)) << "edition " << edition;
  }
}

TEST(NoticePictures, EditionsDifferOnlyInTheNameAlongTheBottom) {
  ModuleUnderTest module;
  const struct {
    WORD edition1, edition2;
    const char* role;
  } pairs[] = {{110, 109, "ready"}, {113, 112, "waiting"}};
  for (const auto& pair : pairs) {
    const BYTE* one = PixelsOf(module.Handle(), pair.edition1);
    const BYTE* two = PixelsOf(module.Handle(), pair.edition2);
    ASSERT_TRUE(one && two) << pair.role;
    EXPECT_TRUE(SameArea(one, two, 0, 128, 0, kSide)) << pair.role << ": same picture above";
    EXPECT_FALSE(SameArea(one, two, 128, kSide, 0, kSide)) << pair.role << ": different names";
  }
}

// ---- Icon 106: one 32 x 32 image in 16 colours, language-neutral. ----

#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved, type, count;
};
struct IconGroupEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD iconId;
};
#pragma pack(pop)

TEST(NoticeIcon, IsLanguageNeutral) {
  ModuleUnderTest module;
  EXPECT_EQ(LanguagesOf(module.Handle(), RT_GROUP_ICON, 106), std::set<LANGID>{kNeutral});
}

TEST(NoticeIcon, HoldsOne32By32ImageInSixteenColours) {
  ModuleUnderTest module;
  Bytes group = ResourceBytes(module.Handle(), RT_GROUP_ICON, 106, kNeutral);
  ASSERT_EQ(group.size, sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
  IconGroupHeader header;
  IconGroupEntry entry;
  memcpy(&header, group.data, sizeof header);
  memcpy(&entry, group.data + sizeof header, sizeof entry);
  EXPECT_EQ(header.type, 1) << "an icon, not a cursor";
  EXPECT_EQ(header.count, 1);
  EXPECT_EQ(entry.width, 32);
  EXPECT_EQ(entry.height, 32);
  EXPECT_EQ(entry.colourCount, 16);
  EXPECT_EQ(entry.bitCount, 4);

  EXPECT_EQ(LanguagesOf(module.Handle(), RT_ICON, entry.iconId), std::set<LANGID>{kNeutral});
  Bytes image = ResourceBytes(module.Handle(), RT_ICON, entry.iconId, kNeutral);
  ASSERT_GE(image.size, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(image.size, entry.bytes);
  BITMAPINFOHEADER h;
  memcpy(&h, image.data, sizeof h);
  EXPECT_EQ(h.biWidth, 32);
  EXPECT_EQ(h.biHeight, 64) << "colour image and mask";
  EXPECT_EQ(h.biBitCount, 4);
}

TEST(NoticeIcon, LoadsFromTheModule) {
  ModuleUnderTest module;
  HICON icon = LoadIconA(module.Handle(), MAKEINTRESOURCEA(106));
  ASSERT_NE(icon, nullptr) << "error " << GetLastError();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectA(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

}  // namespace
