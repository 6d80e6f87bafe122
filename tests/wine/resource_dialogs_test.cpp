// The notice dialogs 103 and 104 as the built VoDUVO.dll holds them: each template is read back
// per language with FindResourceEx and taken apart field by field, and the dialogs are created
// from the module as the notice screens create them.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/support/ModuleUnderTest.h"

namespace {

// ---- Reading an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items). ----

// A name-or-ordinal field: empty, an ordinal (0xFFFF then the number) or a NUL-ended string.
struct NameOrOrdinal {
  int ordinal = -1;  // -1 when the field is a string
  std::wstring name;
};

struct ControlTemplate {
  DWORD helpId, exStyle, style;
  short x, y, cx, cy;
  DWORD id;
  NameOrOrdinal windowClass, text;
  WORD extraBytes;
};

struct DialogTemplate {
  WORD version, signature;
  DWORD helpId, exStyle, style;
  WORD itemCount;
  short x, y, cx, cy;
  NameOrOrdinal menu, windowClass;
  std::wstring caption;
  WORD pointSize, weight;
  BYTE italic, charset;
  std::wstring typeface;
  std::vector<ControlTemplate> controls;
};

// Walks the template's bytes; reading past the resource's end marks it broken instead.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, DWORD size) : start_(data), at_(data), end_(data + size) {}
  bool Broken() const { return broken_; }

  WORD Word() { return Take<WORD>(); }
  DWORD Dword() { return Take<DWORD>(); }
  short Short() { return Take<short>(); }
  BYTE Byte() { return Take<BYTE>(); }

  std::wstring String() {
    std::wstring s;
    for (WORD c = Word(); c != 0 && !broken_; c = Word()) s += static_cast<wchar_t>(c);
    return s;
  }

  NameOrOrdinal Field() {
    NameOrOrdinal field;
    WORD first = Word();
    if (first == 0xFFFF) {
      field.ordinal = Word();
    } else if (first != 0) {
      field.name = static_cast<wchar_t>(first) + String();
    }
    return field;
  }

  void AlignToDword() {
    while ((at_ - start_) % 4 != 0) Byte();
  }
  void Skip(size_t n) {
    for (size_t i = 0; i < n; ++i) Byte();
  }

 private:
  template <typename T>
  T Take() {
    T value{};
    if (broken_ || static_cast<size_t>(end_ - at_) < sizeof(T)) {
      broken_ = true;
      return value;
    }
    std::memcpy(&value, at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }

  const BYTE* start_;
  const BYTE* at_;
  const BYTE* end_;
  bool broken_ = false;
};

ControlTemplate ReadControl(TemplateReader& r) {
  r.AlignToDword();
  ControlTemplate c{};
  c.helpId = r.Dword();
  c.exStyle = r.Dword();
  c.style = r.Dword();
  c.x = r.Short();
  c.y = r.Short();
  c.cx = r.Short();
  c.cy = r.Short();
  c.id = r.Dword();
  c.windowClass = r.Field();
  c.text = r.Field();
  c.extraBytes = r.Word();
  r.Skip(c.extraBytes);
  return c;
}

bool ReadDialog(const BYTE* data, DWORD size, DialogTemplate& d) {
  TemplateReader r(data, size);
  d.version = r.Word();
  d.signature = r.Word();
  d.helpId = r.Dword();
  d.exStyle = r.Dword();
  d.style = r.Dword();
  d.itemCount = r.Word();
  d.x = r.Short();
  d.y = r.Short();
  d.cx = r.Short();
  d.cy = r.Short();
  d.menu = r.Field();
  d.windowClass = r.Field();
  d.caption = r.String();
  if (d.style & (DS_SETFONT | DS_FIXEDSYS)) {
    d.pointSize = r.Word();
    d.weight = r.Word();
    d.italic = r.Byte();
    d.charset = r.Byte();
    d.typeface = r.String();
  }
  for (WORD i = 0; i < d.itemCount && !r.Broken(); ++i) d.controls.push_back(ReadControl(r));
  return !r.Broken();
}

// The predefined window classes that templates name by ordinal.
std::wstring ClassName(const NameOrOrdinal& field) {
  switch (field.ordinal) {
    case -1:
      return field.name;
    case 0x80:
      return L"BUTTON";
    case 0x81:
      return L"EDIT";
    case 0x82:
      return L"STATIC";
    default:
      return L"#" + std::to_wstring(field.ordinal);
  }
}

// ---- What the templates must hold. ----

constexpr DWORD kNoticeStyle = 0x80C008C8;  // popup, caption, centred, modal frame, shell font
constexpr DWORD kCentredLine = 0x50020201;  // child, visible, group, centred text and image
constexpr DWORD kLeftLine = 0x50020000;     // child, visible, group, left-aligned text
constexpr DWORD kPicture = 0x5000000E;      // child, visible, bitmap
constexpr DWORD kHiddenIcon = 0x40000003;   // child, icon, not visible

struct ExpectedControl {
  DWORD id;
  const wchar_t* text;  // null: the text is an icon ordinal
  int iconOrdinal;
  DWORD style;
  short x, y, cx, cy;
};

const ExpectedControl kSasNoticeControls[] = {
    {1005, L"SAS NOTICE Label Fingerprint", -1, kCentredLine, 109, 31, 180, 18},
    {1004, L"SAS NOTICE Label CtrlAltDelete", -1, kCentredLine, 109, 58, 180, 18},
    {1006, L"", -1, kPicture, 7, 7, 20, 20},
};

const ExpectedControl kLockedNoticeControls[] = {
    {1002, L"SAS NOTICE Label In Use", -1, kLeftLine, 117, 7, 172, 16},
    {1003, L"SAS NOTICE Label User", -1, kLeftLine, 117, 27, 172, 32},
    {1005, L"SAS NOTICE Label Fingerprint", -1, kLeftLine, 117, 63, 172, 16},
    {1004, L"SAS NOTICE Label CtrlAltDelete", -1, kLeftLine, 117, 83, 172, 16},
    {1006, L"", -1, kPicture, 7, 7, 20, 20},
    {1007, nullptr, 106, kHiddenIcon, 266, 7, 20, 20},
};

struct ExpectedDialog {
  WORD id;
  LANGID language;
  const wchar_t* caption;
  const ExpectedControl* controls;
  size_t controlCount;
};

const ExpectedDialog kNotices[] = {
    {103, 1033, L"Windows login", kSasNoticeControls, 3},
    {103, 1046, L"Login do Windows", kSasNoticeControls, 3},
    {104, 1033, L"Workstation locked", kLockedNoticeControls, 6},
    {104, 1046, L"Esta\u00E7\u00E3o de trabalho bloqueada", kLockedNoticeControls, 6},
};

std::string Describe(const ExpectedDialog& e) {
  return "dialog " + std::to_string(e.id) + " language " + std::to_string(e.language);
}

void PrintTo(const ExpectedDialog& e, std::ostream* out) { *out << Describe(e); }

// Reads one dialog template of the loaded module, in exactly the given language.
DialogTemplate LoadTemplate(HMODULE module, const ExpectedDialog& e) {
  DialogTemplate d{};
  HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(e.id), e.language);
  if (!found) {
    ADD_FAILURE() << Describe(e) << ": not found (error " << GetLastError() << ")";
    return d;
  }
  const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  EXPECT_TRUE(ReadDialog(data, SizeofResource(module, found), d)) << Describe(e) << ": truncated";
  return d;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::set<LANGID>*>(found)->insert(language);
  return TRUE;
}

// A dialog procedure that leaves every message to the dialog manager.
INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// ---- The cases. ----

class NoticeTemplate : public testing::TestWithParam<ExpectedDialog> {
 protected:
  ModuleUnderTest module_;
};

TEST_P(NoticeTemplate, IsAnExtendedTemplateWithTheNoticeFrame) {
  const ExpectedDialog& e = GetParam();
  DialogTemplate d = LoadTemplate(module_.Handle(), e);
  EXPECT_EQ(d.version, 1) << Describe(e);
  EXPECT_EQ(d.signature, 0xFFFF) << Describe(e) << ": not an extended template";
  EXPECT_EQ(d.helpId, 0u) << Describe(e);
  EXPECT_EQ(d.exStyle, 0u) << Describe(e);
  EXPECT_EQ(d.style, kNoticeStyle) << Describe(e);
  EXPECT_EQ(d.style & WS_SYSMENU, 0u) << Describe(e) << ": no system menu";
  EXPECT_EQ(d.x, 0) << Describe(e);
  EXPECT_EQ(d.y, 0) << Describe(e);
  EXPECT_EQ(d.cx, 296) << Describe(e);
  EXPECT_EQ(d.cy, 108) << Describe(e);
  EXPECT_TRUE(d.menu.ordinal == -1 && d.menu.name.empty()) << Describe(e) << ": no menu";
  EXPECT_TRUE(d.windowClass.ordinal == -1 && d.windowClass.name.empty())
      << Describe(e) << ": the default dialog class";
}

TEST_P(NoticeTemplate, HasTheCaptionOfItsLanguage) {
  const ExpectedDialog& e = GetParam();
  EXPECT_EQ(LoadTemplate(module_.Handle(), e).caption, std::wstring(e.caption)) << Describe(e);
}

TEST_P(NoticeTemplate, UsesTheShellFontAtEightPoints) {
  const ExpectedDialog& e = GetParam();
  DialogTemplate d = LoadTemplate(module_.Handle(), e);
  EXPECT_EQ(d.pointSize, 8) << Describe(e);
  EXPECT_EQ(d.weight, 400) << Describe(e);
  EXPECT_EQ(d.italic, 0) << Describe(e);
  EXPECT_EQ(d.charset, DEFAULT_CHARSET) << Describe(e);
  EXPECT_EQ(d.typeface, L"MS Shell Dlg") << Describe(e);
}

TEST_P(NoticeTemplate, HoldsItsControlsInOrder) {
  const ExpectedDialog& e = GetParam();
  DialogTemplate d = LoadTemplate(module_.Handle(), e);
  ASSERT_EQ(d.controls.size(), e.controlCount) << Describe(e);
  for (size_t i = 0; i < e.controlCount; ++i) {
    const ExpectedControl& want = e.controls[i];
    const ControlTemplate& got = d.controls[i];
    std::string where =
        Describe(e) + ", control #" + std::to_string(i) + " (" + std::to_string(want.id) + ")";
    EXPECT_EQ(got.id, want.id) << where;
    EXPECT_EQ(ClassName(got.windowClass), L"STATIC") << where;
    EXPECT_EQ(got.style, want.style) << where;
    EXPECT_EQ(got.x, want.x) << where;
    EXPECT_EQ(got.y, want.y) << where;
    EXPECT_EQ(got.cx, want.cx) << where;
    EXPECT_EQ(got.cy, want.cy) << where;
    EXPECT_EQ(got.helpId, 0u) << where;
    EXPECT_EQ(got.exStyle, 0u) << where;
    EXPECT_EQ(got.extraBytes, 0) << where;
    if (want.text) {
      EXPECT_EQ(got.text.ordinal, -1) << where;
      EXPECT_EQ(got.text.name, std::wstring(want.text)) << where;
    } else {
      EXPECT_EQ(got.text.ordinal, want.iconOrdinal) << where << ": names its icon by number";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, NoticeTemplate, testing::ValuesIn(kNotices),
                         [](const testing::TestParamInfo<ExpectedDialog>& param) {
                           return "Dialog" + std::to_string(param.param.id) + "_" +
                                  std::to_string(param.param.language);
                         });

TEST(NoticeTemplates, ExistInEnglishAndBrazilianPortugueseOnly) {
  static const WORD kNoticeIds[] = {103, 104};
  ModuleUnderTest module;
  for (WORD id : kNoticeIds) {
    std::set<LANGID> languages;
    EXPECT_TRUE(EnumResourceLanguagesA(module.Handle(), RT_DIALOG, MAKEINTRESOURCEA(id),
                                       CollectLanguage, reinterpret_cast<LONG_PTR>(&languages)))
        << "dialog " << id;
    EXPECT_EQ(languages, (std::set<LANGID>{1033, 1046})) << "dialog " << id;
  }
}

// The locked notice as Windows builds it from the module: the icon control finds icon 106 in the
// module and stays hidden, the picture control is shown.
TEST(NoticeTemplates, LockedNoticeBuildsWithItsIconHidden) {
  ModuleUnderTest module;
  HWND dialog = CreateDialogParamA(module.Handle(), MAKEINTRESOURCEA(104), nullptr, QuietDialog, 0);
  ASSERT_NE(dialog, nullptr) << "error " << GetLastError();
  HWND icon = GetDlgItem(dialog, 1007);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(GetWindowLongA(icon, GWL_STYLE) & WS_VISIBLE, 0) << "the icon control stays hidden";
  EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0) << "the control holds icon 106";
  HWND picture = GetDlgItem(dialog, 1006);
  ASSERT_NE(picture, nullptr);
  EXPECT_NE(GetWindowLongA(picture, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU, 0) << "no system menu";
  DestroyWindow(dialog);
}

}  // namespace
