// The module's message table: every event the module reports has its text in English and in
// Portuguese (Brazil), taking each of the event's strings; the Event Viewer picks the viewer's
// language. These cases also run in the language stages (LanguageStages.cmake).
#include <gtest/gtest.h>

#include <string>

#include "resources/EventMessages.h"
#include "tests/wine/support/EventLogWatcher.h"
#include "tests/wine/support/ModuleUnderTest.h"

namespace {

constexpr LANGID kEnglish = 1033;
constexpr LANGID kPortuguese = 1046;

const struct {
  DWORD id;
  int strings;
} kEvents[] = {
    {EVENT_LOGON_FINGER_IDENTIFIED, 1},       {EVENT_UNLOCK_FINGER_IDENTIFIED, 1},
    {EVENT_LOGON_FINGER_SUBMITTED, 2},        {EVENT_UNLOCK_FINGER_SUBMITTED, 2},
    {EVENT_LOGON_FINGER_NAME_FILLED_IN, 2},   {EVENT_UNLOCK_FINGER_NAME_FILLED_IN, 2},
    {EVENT_LOGON_FINGER_REFUSED_BY_MODE, 2},  {EVENT_UNLOCK_FINGER_REFUSED_BY_MODE, 2},
    {EVENT_LOGON_FINGER_MISMATCH, 2},         {EVENT_UNLOCK_FINGER_MISMATCH, 2},
    {EVENT_LOGON_TYPED_REFUSED_BY_MODE, 2},   {EVENT_UNLOCK_TYPED_REFUSED_BY_MODE, 2},
    {EVENT_PASSWORD_CHANGE_REFUSED, 1},       {EVENT_FINGER_NOT_FOUND, 1},
    {EVENT_ACCOUNT_VALUE_UNREADABLE, 3},      {EVENT_ACCOUNT_KEY_UNREADABLE, 2},
    {EVENT_MATCHED_PASSWORD_UNREADABLE, 3},   {EVENT_ACCOUNTS_NOT_LISTED, 1},
    {EVENT_LIBRARY_NOT_LOADED, 1},            {EVENT_LIBRARY_START_FAILED, 1},
    {EVENT_CAPTURE_START_FAILED, 1},          {EVENT_READER_PLUGGED, 1},
    {EVENT_READER_UNPLUGGED, 1},
};

// Marked strings, so that each one can be found in the text.
LoggedEvent Sample(DWORD id) {
  return LoggedEvent{"VoDUVO", 0, id, {"<first>", "<second>", "<third>"}};
}

TEST(LanguageOfEvents, EveryEventHasItsTextInBothLanguagesWithItsStrings) {
  ModuleUnderTest module;
  ASSERT_NE(module.Handle(), nullptr);
  const char* marks[] = {"<first>", "<second>", "<third>"};
  for (const auto& row : kEvents) {
    SCOPED_TRACE(row.id & 0xFFFF);
    std::string english = EventText(module.Handle(), Sample(row.id), kEnglish);
    std::string portuguese = EventText(module.Handle(), Sample(row.id), kPortuguese);
    EXPECT_FALSE(english.empty());
    EXPECT_FALSE(portuguese.empty());
    EXPECT_NE(english, portuguese);
    for (int i = 0; i < 3; ++i) {
      bool used = i < row.strings;
      EXPECT_EQ(english.find(marks[i]) != std::string::npos, used) << english;
      EXPECT_EQ(portuguese.find(marks[i]) != std::string::npos, used) << portuguese;
    }
    EXPECT_EQ(english.find('%'), std::string::npos) << english;
    EXPECT_EQ(portuguese.find('%'), std::string::npos) << portuguese;
  }
}

// Without a language asked for, the text comes in the system's language when the table has it.
TEST(LanguageOfEvents, TheSystemsLanguageIsTheDefault) {
  ModuleUnderTest module;
  ASSERT_NE(module.Handle(), nullptr);
  LANGID system = GetSystemDefaultLangID();
  if (system != kEnglish && system != kPortuguese) GTEST_SKIP() << "no table of that language";
  for (const auto& row : kEvents) {
    EXPECT_EQ(EventText(module.Handle(), Sample(row.id), 0),
              EventText(module.Handle(), Sample(row.id), system))
        << (row.id & 0xFFFF);
  }
}

}  // namespace
