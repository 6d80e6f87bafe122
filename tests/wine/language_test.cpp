// The language the module picks at start-up from the system's default language: Portuguese
// (Brazil) for exactly 1046, English for every other id. These cases run in the main suite and
// again in Wine processes started under other system languages (LanguageStages.cmake); each
// learns what to expect from GetSystemDefaultLangID itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "gina/ModuleLifetime.h"
#include "resources/Language.h"
#include "resources/MessageCatalogue.h"
#include "tests/wine/support/ModuleUnderTest.h"

namespace {

bool SystemIsBrazilianPortuguese() { return GetSystemDefaultLangID() == 1046; }

LCID ExpectedThreadLocale() { return SystemIsBrazilianPortuguese() ? 1046 : 1033; }

// Whatever the module is expected to pick, the thread starts from the other language, so that
// only the module's own choice can bring the expected one.
LCID OtherThreadLocale() { return ExpectedThreadLocale() == 1046 ? 1033 : 1046; }

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Loading the module changes the loading thread's locale; each case gives the test thread its
// own locale back, and the linked module's state as a fresh load has it.
class LanguageAtAttach : public testing::Test {
 protected:
  void SetUp() override {
    before_ = GetThreadLocale();
    // A stage names the system language it was started for: a stage whose locale variables Wine
    // did not honour must fail rather than pass as one more English run.
    if (const char* stage = std::getenv("VODUVO_EXPECTED_LANGID")) {
      ASSERT_EQ(GetSystemDefaultLangID(), std::atoi(stage)) << "the stage's system language";
    }
  }
  void TearDown() override {
    SetThreadLocale(before_);
    ResetLinkedModuleState();
  }

 private:
  LCID before_ = 0;
};

TEST_F(LanguageAtAttach, SetsTheLoadingThreadsLocale) {
  SetThreadLocale(OtherThreadLocale());
  ModuleUnderTest module;
  EXPECT_EQ(GetThreadLocale(), ExpectedThreadLocale())
      << "system language " << GetSystemDefaultLangID();
}

// What a user sees: the notice dialogs built from the module on the loading thread carry the
// caption of the system's language (in the ANSI code page, 1252 here).
TEST_F(LanguageAtAttach, NoticeCaptionsFollowTheSystemLanguage) {
  static const struct {
    WORD id;
    const char* english;
    const char* portuguese;
  } notices[] = {
      {103, "Windows login", "Login do Windows"},
      {104, "Workstation locked", "Esta\347\343o de trabalho bloqueada"},
  };
  SetThreadLocale(OtherThreadLocale());
  ModuleUnderTest module;
  for (const auto& notice : notices) {
    HWND dialog =
        CreateDialogParamA(module.Handle(), MAKEINTRESOURCEA(notice.id), nullptr, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr) << "dialog " << notice.id << ", error " << GetLastError();
    char caption[64];
    memset(caption, 0xBD, sizeof caption);
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, SystemIsBrazilianPortuguese() ? notice.portuguese : notice.english)
        << "dialog " << notice.id << ", system language " << GetSystemDefaultLangID();
    DestroyWindow(dialog);
  }
}

TEST_F(LanguageAtAttach, PicksTheCatalogueBlockOfTheSystemLanguage) {
  languageBase = -1;
  SelectMessageLanguage();
  bool portuguese = SystemIsBrazilianPortuguese();
  EXPECT_EQ(languageBase, portuguese ? 30 : 0);
  EXPECT_STREQ(MessageText(MsgFingerprintNotFound),
               portuguese ? "Impress\343o digital n\343o encontrada. Por favor, tente novamente."
                          : "Fingerprint not found. Please, try again.");
  EXPECT_STREQ(MessageText(MsgUnlockCaption),
               portuguese ? "Esta\347\343o de trabalho bloqueada" : "Workstation locked");
}

// The module's own attach (linked into this program) makes both choices.
TEST_F(LanguageAtAttach, AttachChoosesThreadLocaleAndCatalogue) {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  languageBase = -1;
  SetThreadLocale(OtherThreadLocale());

  AttachModule(GetModuleHandleA(nullptr));
  EXPECT_EQ(languageBase, SystemIsBrazilianPortuguese() ? 30 : 0);
  EXPECT_EQ(GetThreadLocale(), ExpectedThreadLocale());

  DetachModule(false);
  SetCurrentDirectoryA(directory);
}

}  // namespace
