// Negotiation with the system GINA, through the module as Winlogon loads it.
#include <gtest/gtest.h>

#include "sim/host/WinlogonHost.h"
#include "tests/wine/support/ModuleUnderTest.h"
#include "tests/wine/support/StandInGina.h"

namespace {

struct VersionCase {
  DWORD offeredByWinlogon;
  DWORD askedOfSystemGina;
};

class OfferedVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(OfferedVersion, IsCappedAtVersion14BeforeTheSystemGinaSeesIt) {
  StandInGina system("full", 0x10003);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());

  ASSERT_TRUE(host.Negotiate(GetParam().offeredByWinlogon));
  auto calls = system.CallsTo("WlxNegotiate");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], GetParam().askedOfSystemGina);
  EXPECT_EQ(host.AnsweredVersion(), 0x10003u) << "the module answers the system GINA's version";
}

INSTANTIATE_TEST_SUITE_P(Negotiation, OfferedVersion,
                         testing::Values(VersionCase{0x10005, 0x10004},
                                         VersionCase{0x20000, 0x10004},
                                         VersionCase{0xFFFFFFFF, 0x10004},
                                         VersionCase{0x10004, 0x10004},
                                         VersionCase{0x10003, 0x10003},
                                         VersionCase{0x10000, 0x10000}));

struct OutcomeCase {
  const char* variant;  // which build of the stand-in system GINA is found
  DWORD answered;
  bool negotiates;
};

class SystemGinaBuild : public testing::TestWithParam<OutcomeCase> {};

TEST_P(SystemGinaBuild, NegotiatesOnlyWhenEveryEntryPointOfItsVersionExists) {
  const OutcomeCase& c = GetParam();
  StandInGina system(c.variant, c.answered);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  EXPECT_EQ(host.Negotiate(WLX_VERSION_1_4), c.negotiates ? TRUE : FALSE)
      << c.variant << " answering " << std::hex << c.answered;
}

INSTANTIATE_TEST_SUITE_P(
    Negotiation, SystemGinaBuild,
    testing::Values(OutcomeCase{"full", 0x10000, true}, OutcomeCase{"full", 0x10004, true},
                    OutcomeCase{"no-remove-status", 0x10000, true},
                    OutcomeCase{"no-remove-status", 0x10001, true},
                    OutcomeCase{"no-remove-status", 0x10002, true},
                    OutcomeCase{"no-remove-status", 0x10003, false},
                    OutcomeCase{"no-remove-status", 0x10004, false},
                    OutcomeCase{"no-logoff", 0x10000, false},
                    OutcomeCase{"no-negotiate", 0x10004, false}));

TEST(Negotiation, FailsWithoutASystemGina) {
  StandInGina::UnloadAll();
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  EXPECT_FALSE(host.Negotiate(WLX_VERSION_1_4));
}

TEST(Negotiation, FailsWhenTheSystemGinaRefuses) {
  StandInGina system("full", 0x10004);
  system.Control().SetResult("WlxNegotiate", FALSE);
  ModuleUnderTest module;
  WinlogonHost host(module.Entries());
  EXPECT_FALSE(host.Negotiate(WLX_VERSION_1_4));
}

}  // namespace
