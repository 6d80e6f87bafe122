// Every entry point reaches the system GINA with the same arguments and the same context, and its
// result comes back unchanged.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/StandInGina.h"

namespace {

UINT_PTR W(const void* p) { return reinterpret_cast<UINT_PTR>(p); }

// Distinct arguments, so a swapped or dropped one shows.
struct Arguments {
  wchar_t desktop[8] = L"Default";
  wchar_t script[8] = L"logon";
  wchar_t command[8] = L"cmd";
  wchar_t title[8] = L"title";
  wchar_t text[8] = L"text";
  LUID luid{};
  DWORD options = 0;
  HANDLE token = nullptr;
  WLX_MPR_NOTIFY_INFO mpr{};
  PVOID profile = nullptr;
  BOOL secure = FALSE;
  DWORD statusOptions = 0;
  char environment[4] = "env";
  char sid[4] = "sid";
  char credentials[4] = "crd";
};

struct PassThroughCase {
  const char* entryPoint;
  INT_PTR result;  // what the system GINA answers (ignored for entry points without a result)
  // Calls the entry point through the module; returns its result (0 for VOID entry points) and
  // the arguments expected at the system GINA, context first.
  std::function<INT_PTR(const GinaInterface&, void*, Arguments&, std::vector<UINT_PTR>&)> call;
};

const PassThroughCase kCases[] = {
    {"WlxLoggedOutSAS", WLX_SAS_ACTION_LOGOFF,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), 7, W(&a.luid), W(a.sid), W(&a.options), W(&a.token), W(&a.mpr),
                 W(&a.profile)};
       return INT_PTR{g.WlxLoggedOutSAS(ctx, 7, &a.luid, a.sid, &a.options, &a.token, &a.mpr,
                                        &a.profile)};
     }},
    {"WlxActivateUserShell", 5,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), W(a.desktop), W(a.script), W(a.environment)};
       return INT_PTR{g.WlxActivateUserShell(ctx, a.desktop, a.script, a.environment)};
     }},
    {"WlxLoggedOnSAS", WLX_SAS_ACTION_SHUTDOWN_REBOOT,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), WLX_SAS_TYPE_SC_INSERT, W(a.environment)};
       return INT_PTR{g.WlxLoggedOnSAS(ctx, WLX_SAS_TYPE_SC_INSERT, a.environment)};
     }},
    {"WlxIsLockOk", 6,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx)};
       return INT_PTR{g.WlxIsLockOk(ctx)};
     }},
    {"WlxWkstaLockedSAS", WLX_SAS_ACTION_FORCE_LOGOFF,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), WLX_SAS_TYPE_SCRNSVR_ACTIVITY};
       return INT_PTR{g.WlxWkstaLockedSAS(ctx, WLX_SAS_TYPE_SCRNSVR_ACTIVITY)};
     }},
    {"WlxIsLogoffOk", 0,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx)};
       return INT_PTR{g.WlxIsLogoffOk(ctx)};
     }},
    {"WlxLogoff", 0,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx)};
       g.WlxLogoff(ctx);
       return INT_PTR{0};
     }},
    {"WlxShutdown", 0,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), WLX_SAS_ACTION_SHUTDOWN_POWER_OFF};
       g.WlxShutdown(ctx, WLX_SAS_ACTION_SHUTDOWN_POWER_OFF);
       return INT_PTR{0};
     }},
    {"WlxStartApplication", 9,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), W(a.desktop), W(a.environment), W(a.command)};
       return INT_PTR{g.WlxStartApplication(ctx, a.desktop, a.environment, a.command)};
     }},
    {"WlxScreenSaverNotify", 0,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), W(&a.secure)};
       return INT_PTR{g.WlxScreenSaverNotify(ctx, &a.secure)};
     }},
    {"WlxNetworkProviderLoad", 11,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), W(&a.mpr)};
       return INT_PTR{g.WlxNetworkProviderLoad(ctx, &a.mpr)};
     }},
    {"WlxDisplayStatusMessage", 12,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       HDESK desk = reinterpret_cast<HDESK>(a.sid);
       expect = {W(ctx), W(desk), STATUSMSG_OPTION_SETFOREGROUND, W(a.title), W(a.text)};
       return INT_PTR{g.WlxDisplayStatusMessage(ctx, desk, STATUSMSG_OPTION_SETFOREGROUND, a.title,
                                                a.text)};
     }},
    {"WlxGetStatusMessage", 13,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), W(&a.statusOptions), W(a.text), 8};
       return INT_PTR{g.WlxGetStatusMessage(ctx, &a.statusOptions, a.text, 8)};
     }},
    {"WlxRemoveStatusMessage", 14,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx)};
       return INT_PTR{g.WlxRemoveStatusMessage(ctx)};
     }},
    {"WlxGetConsoleSwitchCredentials", 15,
     [](const GinaInterface& g, void* ctx, Arguments& a, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx), W(a.credentials)};
       return INT_PTR{g.WlxGetConsoleSwitchCredentials(ctx, a.credentials)};
     }},
    {"WlxReconnectNotify", 0,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx)};
       g.WlxReconnectNotify(ctx);
       return INT_PTR{0};
     }},
    {"WlxDisconnectNotify", 0,
     [](const GinaInterface& g, void* ctx, Arguments&, std::vector<UINT_PTR>& expect) {
       expect = {W(ctx)};
       g.WlxDisconnectNotify(ctx);
       return INT_PTR{0};
     }},
};

class PassThrough : public testing::TestWithParam<PassThroughCase> {};

TEST_P(PassThrough, SameArgumentsSameContextSameResult) {
  const PassThroughCase& c = GetParam();
  StandInGina system("full", WLX_VERSION_1_4);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  ASSERT_TRUE(host.Negotiate());
  ASSERT_TRUE(host.Initialize());
  ASSERT_EQ(host.Context(), system.Context()) << "Winlogon holds the system GINA's own context";
  system.Control().SetResult(c.entryPoint, c.result);

  Arguments args;
  std::vector<UINT_PTR> expected;
  INT_PTR result = c.call(module.Entries(), host.Context(), args, expected);

  auto calls = system.CallsTo(c.entryPoint);
  ASSERT_EQ(calls.size(), 1u) << c.entryPoint;
  EXPECT_EQ(calls[0].args, expected) << c.entryPoint;
  if (c.result) {
    EXPECT_EQ(result, c.result) << c.entryPoint;
  }
}

INSTANTIATE_TEST_SUITE_P(Chaining, PassThrough, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PassThroughCase>& entry) {
                           return std::string(entry.param.entryPoint);
                         });

TEST(Chaining, InitializePassesWinlogonsArgumentsOn) {
  StandInGina system("full", WLX_VERSION_1_4);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  ASSERT_TRUE(host.Negotiate());
  system.Control().SetResult("WlxInitialize", 3);
  wchar_t station[] = L"WinSta0";
  int reserved = 0;
  void* context = nullptr;
  EXPECT_EQ(module.Entries().WlxInitialize(station, host.Handle(), &reserved, &host.Dispatch(),
                                           &context),
            3);
  auto calls = system.CallsTo("WlxInitialize");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<UINT_PTR>{W(station), W(host.Handle()), W(&reserved),
                                                  W(&host.Dispatch()), W(&context)}));
  EXPECT_EQ(context, system.Context());
}

// Entry points that a system GINA of version 1.0 lacks: called anyway, they answer FALSE or do
// nothing, and nothing reaches the system GINA.
TEST(Chaining, EntryPointsAboveTheNegotiatedVersionAnswerNeutrally) {
  StandInGina system("full", WLX_VERSION_1_0);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  ASSERT_TRUE(host.Negotiate());
  ASSERT_TRUE(host.Initialize());
  const GinaInterface& g = module.Entries();
  void* ctx = host.Context();
  Arguments a;
  size_t before = system.Calls().size();

  EXPECT_FALSE(g.WlxStartApplication(ctx, a.desktop, a.environment, a.command));
  EXPECT_FALSE(g.WlxScreenSaverNotify(ctx, &a.secure));
  EXPECT_FALSE(g.WlxNetworkProviderLoad(ctx, &a.mpr));
  EXPECT_FALSE(g.WlxDisplayStatusMessage(ctx, nullptr, 0, a.title, a.text));
  EXPECT_FALSE(g.WlxGetStatusMessage(ctx, &a.statusOptions, a.text, 8));
  EXPECT_FALSE(g.WlxRemoveStatusMessage(ctx));
  EXPECT_FALSE(g.WlxGetConsoleSwitchCredentials(ctx, a.credentials));
  g.WlxReconnectNotify(ctx);
  g.WlxDisconnectNotify(ctx);
  EXPECT_EQ(system.Calls().size(), before);

  // The 1.0 entry points still pass on.
  g.WlxShutdown(ctx, 0);
  EXPECT_EQ(system.CallsTo("WlxShutdown").size(), 1u);
}

TEST(Chaining, EntryPointsBeforeNegotiationAnswerNeutrally) {
  StandInGina::UnloadAll();
  ModuleUnderTest module;
  const GinaInterface& g = module.Entries();
  EXPECT_FALSE(g.WlxIsLockOk(nullptr));
  EXPECT_EQ(g.WlxLoggedOnSAS(nullptr, WLX_SAS_TYPE_CTRL_ALT_DEL, nullptr), WLX_SAS_ACTION_NONE);
  g.WlxLogoff(nullptr);
}

TEST(Chaining, TheModuleLoadsAndUnloadsCleanly) {
  ModuleUnderTest module;
  ASSERT_NE(module.Handle(), nullptr) << "DllMain accepted the attach";
  EXPECT_TRUE(module.Unload());
}

}  // namespace
