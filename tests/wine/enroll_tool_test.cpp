// The enrolment tool: its commands run in-process on files of their own, and the built
// voduvo-enroll.exe a few times. What it writes is read back with the module's store operations.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "accounts/AccountStore.h"
#include "accounts/AccountWriting.h"
#include "tests/wine/support/EnrollToolRuns.h"
#include "tests/wine/support/ImportHook.h"
#include "tests/wine/support/TestPaths.h"

namespace {

constexpr char kCarol[] = "voduvo-enroll-test-carol";
constexpr char kDave[] = "voduvo-enroll-test-dave";
constexpr char kErin[] = "voduvo-enroll-test-erin";
constexpr char kPassword[] = "Tr0ub4dor&3";
// kCarol's key under a name in other letter case, as an administrator may have typed it once.
constexpr char kCarolOtherCase[] = "Voduvo-Enroll-Test-CAROL";
constexpr char kCarolWithDomain[] = "voduvo-enroll-test-carol@corp";

std::string AccountPath(const std::string& user) { return std::string(kStorePath) + "\\" + user; }

class EnrollTool : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    for (const char* user : {kCarol, kDave, kErin, kCarolWithDomain}) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, AccountPath(user).c_str());
    }
  }
  std::vector<std::string> AddArgs(const char* user, const char* mode) {
    return {"add", user, "--mode", mode, "--template1", first_.Path(),
            "--template2", second_.Path()};
  }
  const std::string firstBytes_{"\x01\x00\x7f\xff template one", 17};
  const std::string secondBytes_{"template two \x00\x00", 15};
  TempFile first_{firstBytes_};
  TempFile second_{secondBytes_};
};

LoginMode StoredMode(const char* user) {
  LoginMode mode = static_cast<LoginMode>(0xDEAD);
  ReadLoginMode(user, &mode);
  return mode;
}

// The store's key for user, whatever its letter case: its own name and every value with its
// type and bytes, in the registry's order; "(none)" when there is no such key.
std::string KeyDump(const char* user) {
  HKEY store = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStorePath, 0, KEY_ENUMERATE_SUB_KEYS, &store) !=
      ERROR_SUCCESS) {
    return "(none)";
  }
  std::string dump = "(none)";
  char name[256];
  DWORD length = sizeof name;
  for (DWORD i = 0; RegEnumKeyExA(store, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
       ++i, length = sizeof name) {
    HKEY key = nullptr;
    if (lstrcmpiA(name, user) != 0 ||
        RegOpenKeyExA(store, name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      continue;
    }
    dump = name;
    char valueName[256];
    std::vector<BYTE> data(64 * 1024);
    DWORD nameLength = sizeof valueName;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    for (DWORD v = 0; RegEnumValueA(key, v, valueName, &nameLength, nullptr, &type, data.data(),
                                    &size) == ERROR_SUCCESS;
         ++v, nameLength = sizeof valueName, size = static_cast<DWORD>(data.size())) {
      dump += std::string(" ") + valueName + ":" + std::to_string(type) + ":" +
              std::string(reinterpret_cast<char*>(data.data()), size);
    }
    RegCloseKey(key);
  }
  RegCloseKey(store);
  return dump;
}

using RegSetValueExAFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
RegSetValueExAFunction realRegSetValueExA = nullptr;
int valueWritesBeforeFailure = 0;
bool valueWriteFailed = false;

LONG WINAPI FailingRegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD size) {
  if (valueWritesBeforeFailure-- == 0) {
    valueWriteFailed = true;
    return ERROR_ACCESS_DENIED;
  }
  return realRegSetValueExA(key, name, reserved, type, data, size);
}

// While it lives, registry value write number `failing` (counted from 0) of this process fails
// as if access were denied; every other write goes through.
class FailingValueWrite {
 public:
  explicit FailingValueWrite(int failing) {
    valueWritesBeforeFailure = failing;
    valueWriteFailed = false;
    realRegSetValueExA = CodeCast<RegSetValueExAFunction>(ReplaceImport(
        "ADVAPI32.dll", "RegSetValueExA", CodeCast<FARPROC>(FailingRegSetValueExA)));
  }
  ~FailingValueWrite() {
    if (realRegSetValueExA) {
      ReplaceImport("ADVAPI32.dll", "RegSetValueExA", CodeCast<FARPROC>(realRegSetValueExA));
    }
  }
  FailingValueWrite(const FailingValueWrite&) = delete;
  FailingValueWrite& operator=(const FailingValueWrite&) = delete;
  bool Installed() const { return realRegSetValueExA != nullptr; }
  bool Failed() const { return valueWriteFailed; }
};

TEST_F(EnrollTool, AddsAnAccountThatTheStoreReadsBack) {
  ToolRun run = RunTool(AddArgs(kCarol, "3"), std::string(kPassword) + "\n");
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out,
            std::string("Added account ") + kCarol + ", mode 3 (fingerprint-or-password)\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(StoredMode(kCarol), FingerprintOrPassword);
  EXPECT_EQ(StoredTemplate(kCarol, 1), firstBytes_);
  EXPECT_EQ(StoredTemplate(kCarol, 2), secondBytes_);
  EXPECT_EQ(StoredPassword(kCarol), kPassword);
}

TEST_F(EnrollTool, ReplacesAnAccountWhole) {
  ASSERT_EQ(RunTool(AddArgs(kCarol, "1"), "first password\n").exit, 0);
  std::vector<std::string> args = {"add", kCarol, "--template2", first_.Path(), "--mode",
                                   "fingerprint-and-password", "--template1", second_.Path()};
  ToolRun run = RunTool(args, "second password\r\n");
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, std::string("Replaced account ") + kCarol +
                         ", mode 4 (fingerprint-and-password)\n");
  EXPECT_EQ(StoredMode(kCarol), FingerprintAndPassword);
  EXPECT_EQ(StoredTemplate(kCarol, 1), secondBytes_);
  EXPECT_EQ(StoredTemplate(kCarol, 2), firstBytes_);
  EXPECT_EQ(StoredPassword(kCarol), "second password") << "the line end is not part of it";
}

std::string Repeated(const std::string& text, size_t times) {
  std::string repeated;
  while (times-- > 0) repeated += text;
  return repeated;
}

TEST_F(EnrollTool, TakesEveryPasswordThatFitsItsField) {
  const struct {
    const char* what;
    std::string input;
    std::string stored;
  } rows[] = {
      {"127 characters and CRLF", std::string(127, 'q') + "\r\n", std::string(127, 'q')},
      {"empty line, allowed", "\n", ""},
      {"no line end", "last line", "last line"},
      {"spaces kept", "  two words  \n", "  two words  "},
      {"not UTF-8: ANSI bytes kept as they come", "a\xe7\xe3o\n", "a\xe7\xe3o"},
      {"UTF-8, as editors save it", "a\xc3\xa7\xc3\xa3o\n", "a\xe7\xe3o"},
      {"UTF-8 with a byte-order mark", "\xef\xbb\xbf" "a\xc3\xa7\xc3\xa3o\r\n", "a\xe7\xe3o"},
      {"a byte-order mark before ASCII", "\xef\xbb\xbf" "plain\n", "plain"},
      {"127 characters in UTF-8", Repeated("\xc3\xa7", 127) + "\n", std::string(127, '\xe7')},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = AddArgs(kDave, "password-only");
    args.push_back("--allow-empty-password");
    ToolRun run = RunTool(args, row.input);
    ASSERT_EQ(run.exit, 0) << row.what << ": " << run.err;
    EXPECT_EQ(StoredPassword(kDave), row.stored) << row.what;
  }
}

TEST_F(EnrollTool, ListsAccountsWithTheirModes) {
  ASSERT_EQ(RunTool(AddArgs(kCarol, "fingerprint-only"), "a\n").exit, 0);
  ASSERT_EQ(RunTool(AddArgs(kDave, "0"), "b\n").exit, 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, AccountPath(kErin).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const BYTE shortLogin[2] = {1, 0};
  RegSetValueExA(key, "Login", 0, REG_BINARY, shortLogin, sizeof shortLogin);
  RegCloseKey(key);

  ToolRun run = RunTool({"list"}, "");
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_NE(run.out.find(std::string(kCarol) + "\t1\tfingerprint-only\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(std::string(kDave) + "\t0\tnot-authorized\n"), std::string::npos);
  EXPECT_NE(run.out.find(std::string(kErin) + "\t-\tunreadable (code -10)\n"), std::string::npos);
}

TEST_F(EnrollTool, RemovesAnAccountOnce) {
  ASSERT_EQ(RunTool(AddArgs(kCarol, "2"), "pw\n").exit, 0);
  ToolRun run = RunTool({"remove", kCarol}, "");
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, std::string("Removed account ") + kCarol + "\n");
  EXPECT_FALSE(KeyExists(kStorePath, kCarol));
  run = RunTool({"remove", kCarol}, "");
  EXPECT_EQ(run.exit, 2);
  EXPECT_NE(run.err.find(std::string("no account named ") + kCarol), std::string::npos) << run.err;
}

TEST_F(EnrollTool, ModeChangesTheLoginValueAlone) {
  ASSERT_EQ(RunTool(AddArgs(kCarolOtherCase, "1"), std::string(kPassword) + "\n").exit, 0);
  std::string before = KeyDump(kCarol);
  ToolRun run = RunTool({"mode", kCarol, "password-only"}, "");
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, std::string("Changed account ") + kCarolOtherCase +
                         " to mode 2 (password-only)\n");
  std::string expected = before;
  std::string oldLogin = std::string("Login:4:") + std::string("\x01\0\0\0", 4);
  expected.replace(expected.find(oldLogin), oldLogin.size(),
                   std::string("Login:4:") + std::string("\x02\0\0\0", 4));
  EXPECT_EQ(KeyDump(kCarol), expected) << "the name and every other value stay";
  EXPECT_EQ(StoredPassword(kCarolOtherCase), kPassword);
}

TEST_F(EnrollTool, ReenrollingInOtherLetterCaseStoresTheNameAsTyped) {
  ASSERT_EQ(RunTool(AddArgs(kCarolOtherCase, "1"), "old password\n").exit, 0);
  ASSERT_EQ(SetAccountValue(kCarolOtherCase, "Note", REG_SZ,
                            reinterpret_cast<const BYTE*>("kept"), 5),
            ERROR_SUCCESS);
  ToolRun run = RunTool(AddArgs(kCarol, "4"), std::string(kPassword) + "\n");
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, std::string("Replaced account ") + kCarol + " (was " + kCarolOtherCase +
                         "), mode 4 (fingerprint-and-password)\n");
  std::string dump = KeyDump(kCarol);
  EXPECT_EQ(dump.substr(0, dump.find(' ')), kCarol) << "the logon compares names byte by byte";
  EXPECT_NE(dump.find(std::string(" Note:1:kept", 12)), std::string::npos) << dump;
  EXPECT_EQ(StoredMode(kCarol), FingerprintAndPassword);
  EXPECT_EQ(StoredPassword(kCarol), kPassword);
}

// Every registry value write of the command fails in turn; each time the account must be left
// exactly as it was: absent when it was new, its name and every value unchanged otherwise.
TEST_F(EnrollTool, AChangeThatFailsPartWayLeavesTheAccountAsItWas) {
  const struct {
    const char* what;
    const char* existing;  // the account before the command, or null
    std::vector<std::string> args;
  } rows[] = {
      {"new account", nullptr, AddArgs(kCarol, "3")},
      {"replaced account", kCarol, AddArgs(kCarol, "4")},
      {"replaced in other letter case", kCarolOtherCase, AddArgs(kCarol, "4")},
      {"mode changed", kCarol, {"mode", kCarol, "2"}},
  };
  for (const auto& row : rows) {
    for (int failing = 0;; ++failing) {
      TearDown();
      if (row.existing) {
        ASSERT_EQ(RunTool(AddArgs(row.existing, "1"), "old password\n").exit, 0) << row.what;
        ASSERT_EQ(SetAccountValue(row.existing, "Note", REG_SZ,
                                  reinterpret_cast<const BYTE*>("kept"), 5),
                  ERROR_SUCCESS);
      }
      std::string before = KeyDump(kCarol);
      ToolRun run{};
      bool failed = false;
      {
        FailingValueWrite failure(failing);
        ASSERT_TRUE(failure.Installed());
        run = RunTool(row.args, "new password\n");
        failed = failure.Failed();
      }
      if (!failed) {
        EXPECT_EQ(run.exit, 0) << row.what << ": " << run.err;
        EXPECT_GT(failing, 0) << row.what;
        break;
      }
      std::string where = std::string(row.what) + ", write " + std::to_string(failing) + " fails";
      EXPECT_EQ(run.exit, 2) << where;
      EXPECT_NE(run.err.find("denied"), std::string::npos) << where << ": " << run.err;
      EXPECT_NE(run.err.find("The account is as it was."), std::string::npos) << where;
      EXPECT_EQ(KeyDump(kCarol), before) << where;
      ASSERT_LT(failing, 8) << row.what;
    }
  }
}

TEST_F(EnrollTool, HelpShowsTheUsage) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--help"}, {"add", "--help"}, {"mode", "-h"}}) {
    ToolRun run = RunTool(args, "");
    EXPECT_EQ(run.exit, 0) << args.back() << ": " << run.err;
    EXPECT_NE(run.out.find("voduvo-enroll add USER --mode MODE --template1 FILE --template2 FILE"),
              std::string::npos);
    EXPECT_NE(run.out.find("voduvo-enroll mode USER MODE"), std::string::npos);
    EXPECT_NE(run.out.find("[--allow-empty-password]"), std::string::npos);
  }
}

TEST_F(EnrollTool, RefusesBadArgumentsAndInputWithAMessageAndWritesNothing) {
  TempFile empty;
  TempFile tooLarge(std::string(1024 * 1024 + 1, 't'));
  const std::string t1 = first_.Path();
  const std::string t2 = second_.Path();
  const std::string missing = t1 + ".missing";
  const std::string secret = "hunter2-secret";
  const struct {
    std::vector<std::string> args;
    std::string input;
    int exit;
    const char* message;
  } rows[] = {
      {{}, "", 1, "a command is missing"},
      {{"enrol"}, "", 1, "unknown command enrol"},
      {{"add"}, "", 1, "the user name is missing"},
      {{"add", kCarol, "--template1", t1, "--template2", t2}, secret, 1, "--mode is missing"},
      {{"add", kCarol, "--mode", "1", "--template1", t1}, secret, 1, "--template2 is missing"},
      {{"add", kCarol, "--mode", "5", "--template1", t1, "--template2", t2}, secret, 1,
       "unknown login mode 5"},
      {{"add", kCarol, "--template1", t1, "--template2", t2, "--mode"}, secret, 1,
       "--mode needs a value"},
      {{"add", kCarol, "--mode", "1", "--mode", "2", "--template1", t1}, secret, 1,
       "--mode is given twice"},
      {{"add", kCarol, "--mode", "1", "--password", secret}, secret, 1,
       "unknown argument --password"},
      {{"add", kCarol, "--mode", "1", "--template1", missing, "--template2", t2}, secret, 1,
       "cannot open template file"},
      {{"add", kCarol, "--mode", "1", "--template1", t1, "--template2", empty.Path()}, secret, 1,
       "is empty"},
      {{"add", kCarol, "--mode", "1", "--template1", tooLarge.Path(), "--template2", t2}, secret,
       1, "is too large"},
      {{"add", "dom\\carol", "--mode", "1", "--template1", t1, "--template2", t2}, secret, 1,
       "the user name contains a backslash"},
      {{"add", std::string(128, 'u'), "--mode", "1", "--template1", t1, "--template2", t2}, secret,
       1, "the user name is longer than 127 characters"},
      {{"add", "", "--mode", "1", "--template1", t1, "--template2", t2}, secret, 1,
       "the user name is empty"},
      {{"add", kCarol, "--mode", "1", "--template1", t1, "--template2", t2}, "", 1,
       "no password on standard input"},
      {{"add", kCarol, "--mode", "1", "--template1", t1, "--template2", t2},
       secret + std::string(128 - secret.size(), '!') + "\n", 1,
       "the password is longer than 127 characters"},
      {{"add", kCarol, "--mode", "1", "--template1", t1, "--template2", t2},
       std::string("hunter2\0secret\n", 15), 1, "the password contains a zero byte"},
      {{"add", kCarol, "--mode", "1", "--template1", t1, "--template2", t2},
       "hunter2-\xc4\x81\n", 1,
       "the password has characters that the ANSI code page 1252, in which the logon dialogs "
       "read it, cannot hold"},
      {{"add", kCarolWithDomain, "--mode", "0", "--template1", t1, "--template2", t2}, secret, 1,
       "the user name contains @: the logon takes a typed name@domain as the account name alone"},
      {{"mode", kCarolWithDomain, "0"}, "", 1, "the user name contains @"},
      {{"add", kCarol, "--mode", "1", "--template1", t1, "--template2", t2}, "\r\n", 1,
       "the password is empty (give --allow-empty-password to store an empty one)"},
      {{"mode", kCarol}, "", 1, "mode takes a user name and a mode"},
      {{"mode", kCarol, "7"}, "", 1, "mode: unknown login mode 7"},
      {{"mode", kCarol, "2"}, "", 2, "no account named voduvo-enroll-test-carol"},
      {{"list", "extra"}, "", 1, "list takes no arguments"},
      {{"remove"}, "", 1, "remove takes exactly one user name"},
      {{"remove", kCarol}, "", 2, "no account named voduvo-enroll-test-carol"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    ToolRun run = RunTool(rows[i].args, rows[i].input);
    EXPECT_EQ(run.exit, rows[i].exit) << "row " << i;
    EXPECT_NE(run.err.find(rows[i].message), std::string::npos) << "row " << i << ": " << run.err;
    EXPECT_EQ(run.out, "") << "row " << i;
    EXPECT_EQ(run.err.find("hunter2"), std::string::npos) << "row " << i << ": password shown";
    EXPECT_FALSE(KeyExists(kStorePath, kCarol)) << "row " << i << ": an account was written";
    EXPECT_FALSE(KeyExists(kStorePath, kCarolWithDomain)) << "row " << i;
  }
}

// The program writes its streams in text mode; compared here with plain line feeds.
std::string WithoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// The built program, started as an administrator would start it.
ToolRun RunProgram(const std::string& arguments, const std::string& input) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead = nullptr;
  HANDLE inWrite = nullptr;
  CreatePipe(&inRead, &inWrite, &inherit, 0);
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  TempFile out, err;
  auto openForChild = [&](const TempFile& file) {
    return CreateFileA(file.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                       CREATE_ALWAYS, 0, nullptr);
  };
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = openForChild(out);
  startup.hStdError = openForChild(err);
  std::string commandLine = "\"" + BinPath("voduvo-enroll.exe") + "\" " + arguments;
  PROCESS_INFORMATION process{};
  DWORD exit = 9999;
  if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process)) {
    DWORD written = 0;
    WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(inWrite);
    inWrite = nullptr;
    WaitForSingleObject(process.hProcess, 5 * 60 * 1000);
    GetExitCodeProcess(process.hProcess, &exit);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (HANDLE h : {inRead, inWrite, startup.hStdOutput, startup.hStdError}) {
    if (h) CloseHandle(h);
  }
  return ToolRun{static_cast<int>(exit), WithoutCarriageReturns(out.Contents()),
                 WithoutCarriageReturns(err.Contents())};
}

TEST_F(EnrollTool, ProgramWritesAnAccountThatTheModuleReadsBack) {
  std::string arguments = std::string("add ") + kErin + " --mode fingerprint-or-password" +
                          " --template1 \"" + first_.Path() + "\" --template2 \"" +
                          second_.Path() + "\"";
  ToolRun add = RunProgram(arguments, std::string(kPassword) + "\r\n");
  ASSERT_EQ(add.exit, 0) << add.err;
  EXPECT_EQ(add.out,
            std::string("Added account ") + kErin + ", mode 3 (fingerprint-or-password)\n");
  EXPECT_EQ(StoredMode(kErin), FingerprintOrPassword);
  EXPECT_EQ(StoredTemplate(kErin, 1), firstBytes_);
  EXPECT_EQ(StoredTemplate(kErin, 2), secondBytes_);
  EXPECT_EQ(StoredPassword(kErin), kPassword);
}

// Each start of the program takes about 90 s under emulated 32-bit Wine, against a fraction of a
// second under 64-bit Wine: the 32-bit build starts it once, for the account it writes, and
// leaves the two checks below to the 64-bit build.
#ifdef _WIN64
TEST_F(EnrollTool, ProgramListsAccounts) {
  ASSERT_EQ(RunTool(AddArgs(kErin, "4"), std::string(kPassword) + "\n").exit, 0);
  ToolRun list = RunProgram("list", "");
  EXPECT_EQ(list.exit, 0) << list.err;
  EXPECT_NE(list.out.find(std::string(kErin) + "\t4\tfingerprint-and-password\n"),
            std::string::npos)
      << list.out;
  EXPECT_EQ(list.out.find(kPassword), std::string::npos);
}

TEST_F(EnrollTool, ProgramRefusesBadArgumentsWithAMessageAndNonZeroExit) {
  ToolRun run = RunProgram("add " + std::string(kErin) + " --mode 9", "secret\n");
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.err.find("voduvo-enroll: add: --template1 is missing"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(KeyExists(kStorePath, kErin));
}
#endif

}  // namespace
