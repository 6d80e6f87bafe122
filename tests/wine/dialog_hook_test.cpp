// The system GINA reaches Winlogon's dialog service through the module's hook.
#include <gtest/gtest.h>

#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/StandInGina.h"

namespace {

class DialogHookInstall : public testing::TestWithParam<DWORD> {};

TEST_P(DialogHookInstall, ReplacesOnlyTheDialogServiceEntryAndStillReachesWinlogon) {
  StandInGina system("full", GetParam());
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  WLX_DISPATCH_VERSION_1_4 before = host.Dispatch();
  ASSERT_TRUE(host.Negotiate());
  ASSERT_TRUE(host.Initialize());

  WLX_DISPATCH_VERSION_1_4& table = host.Dispatch();
  EXPECT_NE(table.WlxDialogBoxParam, before.WlxDialogBoxParam);
  table.WlxDialogBoxParam = before.WlxDialogBoxParam;
  EXPECT_EQ(memcmp(&table, &before, sizeof table), 0) << "no other entry of the table changed";

  // The system GINA received the changed table; a dialog opened through it reaches Winlogon's
  // service (the template does not exist, so the dialog itself fails to open).
  auto init = system.CallsTo("WlxInitialize");
  ASSERT_EQ(init.size(), 1u);
  EXPECT_EQ(init[0].args[3], reinterpret_cast<UINT_PTR>(&table));
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, DialogHookInstall,
                         testing::Values(WLX_VERSION_1_0, WLX_VERSION_1_1, WLX_VERSION_1_3,
                                         WLX_VERSION_1_4));

TEST(DialogHook, DialogsOpenedThroughTheTableReachWinlogonUnchanged) {
  StandInGina system("full", WLX_VERSION_1_4);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  ASSERT_TRUE(host.Negotiate());
  ASSERT_TRUE(host.Initialize());

  wchar_t name[] = L"NAMED";
  LPWSTR byNumber = MAKEINTRESOURCEW(4321);
  HINSTANCE noTemplates = GetModuleHandleA(nullptr);
  EXPECT_EQ(host.Dispatch().WlxDialogBoxParam(host.Handle(), noTemplates, byNumber, nullptr,
                                              nullptr, 0),
            -1);
  EXPECT_EQ(host.Dispatch().WlxDialogBoxParam(host.Handle(), noTemplates, name, nullptr, nullptr,
                                              0),
            -1);
  auto shown = host.DialogTemplatesShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], 4321u);
  EXPECT_EQ(shown[1], reinterpret_cast<UINT_PTR>(name));
}

}  // namespace
