// The enrolment tool's password typed at a console. The suite has no console of its own, so the
// console calls of this executable are redirected to a fake one that hands out typed lines and
// records the console mode, as the tool's commands run in-process.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "accounts/AccountStore.h"
#include "tests/wine/support/EnrollToolRuns.h"
#include "tests/wine/support/ImportHook.h"

namespace {

constexpr char kUser[] = "voduvo-enroll-test-frank";
constexpr DWORD kConsoleMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
constexpr DWORD kNoMode = 0xFFFFFFFF;

// The lines a person types, and what the tool did to the console meanwhile.
struct FakeConsole {
  std::vector<std::wstring> lines;
  size_t interruptAtLine = SIZE_MAX;  // Ctrl+C while this line is awaited
  size_t next = 0;
  size_t offset = 0;
  DWORD mode = kConsoleMode;
  std::vector<DWORD> modesWhileReading;
  DWORD modeAfterInterrupt = kNoMode;
  PHANDLER_ROUTINE handler = nullptr;
};

FakeConsole* fake = nullptr;
HANDLE const kFakeHandle = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x7e57));

BOOL WINAPI FakeGetConsoleMode(HANDLE console, LPDWORD mode) {
  if (console != kFakeHandle) return FALSE;
  *mode = fake->mode;
  return TRUE;
}

BOOL WINAPI FakeSetConsoleMode(HANDLE console, DWORD mode) {
  if (console != kFakeHandle) return FALSE;
  fake->mode = mode;
  return TRUE;
}

BOOL WINAPI FakeSetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add) {
  if (add) {
    fake->handler = routine;
  } else if (fake->handler == routine) {
    fake->handler = nullptr;
  }
  return TRUE;
}

// Hands out the current line with its CR LF, in pieces as large as the caller asks for.
BOOL WINAPI FakeReadConsoleW(HANDLE console, LPVOID buffer, DWORD count, LPDWORD read,
                             PCONSOLE_READCONSOLE_CONTROL) {
  if (console != kFakeHandle) return FALSE;
  FakeConsole& c = *fake;
  c.modesWhileReading.push_back(c.mode);
  *read = 0;
  if (c.next == c.interruptAtLine && c.handler) {
    // As Windows does: the handler runs, and the read comes back empty.
    c.handler(CTRL_C_EVENT);
    c.modeAfterInterrupt = c.mode;
    return TRUE;
  }
  if (c.next >= c.lines.size()) return TRUE;
  std::wstring line = c.lines[c.next] + L"\r\n";
  size_t n = std::min<size_t>(count, line.size() - c.offset);
  memcpy(buffer, line.data() + c.offset, n * sizeof(wchar_t));
  c.offset += n;
  if (c.offset == line.size()) {
    ++c.next;
    c.offset = 0;
  }
  *read = static_cast<DWORD>(n);
  return TRUE;
}

// Points this executable's console imports at the fake console while it lives.
class ConsoleImports {
 public:
  explicit ConsoleImports(FakeConsole& console) {
    fake = &console;
    for (Hook& hook : hooks_) hook.real = ReplaceImport("KERNEL32.dll", hook.name, hook.fake);
  }
  ~ConsoleImports() {
    for (Hook& hook : hooks_) {
      if (hook.real) ReplaceImport("KERNEL32.dll", hook.name, hook.real);
    }
    fake = nullptr;
  }
  ConsoleImports(const ConsoleImports&) = delete;
  ConsoleImports& operator=(const ConsoleImports&) = delete;
  bool Installed() const {
    return std::all_of(std::begin(hooks_), std::end(hooks_),
                       [](const Hook& hook) { return hook.real != nullptr; });
  }

 private:
  struct Hook {
    const char* name;
    FARPROC fake;
    FARPROC real;
  };
  Hook hooks_[4] = {
      {"GetConsoleMode", CodeCast<FARPROC>(FakeGetConsoleMode), nullptr},
      {"SetConsoleMode", CodeCast<FARPROC>(FakeSetConsoleMode), nullptr},
      {"SetConsoleCtrlHandler", CodeCast<FARPROC>(FakeSetConsoleCtrlHandler), nullptr},
      {"ReadConsoleW", CodeCast<FARPROC>(FakeReadConsoleW), nullptr},
  };
};

// Runs `add` for kUser in this process with the password typed at console.
ToolRun AddTyped(FakeConsole& console, bool allowEmpty) {
  TempFile template1("template one"), template2("template two");
  std::vector<std::string> args = {"add",         kUser,          "--mode",      "3",
                                   "--template1", template1.Path(), "--template2", template2.Path()};
  if (allowEmpty) args.push_back("--allow-empty-password");
  ConsoleImports imports(console);
  EXPECT_TRUE(imports.Installed());
  if (!imports.Installed()) return ToolRun{-1, "", ""};
  return RunTool(args, "", std::string(), kFakeHandle);
}

class EnrollConsole : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kStorePath) + "\\" + kUser).c_str());
  }
};

TEST_F(EnrollConsole, TypedPasswordIsAskedTwiceAndStoredInTheAnsiCodePage) {
  // The bytes below are the ANSI code page 1252 forms of the typed characters.
  ASSERT_EQ(GetACP(), 1252u);
  const std::wstring acao = L"a\u00e7\u00e3o";
  const std::wstring longest(127, L'q');
  const struct {
    const char* what;
    std::vector<std::wstring> typed;
    bool allowEmpty;
    int exit;
    const char* message;  // on standard error, or the stored password when exit is 0
  } rows[] = {
      {"non-ASCII", {acao, acao}, false, 0, "a\xe7\xe3o"},
      {"127 characters", {longest, longest}, false, 0, "qqq"},
      {"empty, allowed", {L"", L""}, true, 0, ""},
      {"empty", {L"", L""}, false, 1, "the password is empty"},
      {"typed differently again", {acao, L"acao"}, false, 1, "the two passwords typed differ"},
      {"no ANSI form", {L"\u5bc6\u7801", L"\u5bc6\u7801"}, false, 1,
       "the ANSI code page 1252, in which the logon dialogs read it, cannot hold"},
      {"best fit only", {L"\u0100bc", L"\u0100bc"}, false, 1, "cannot hold"},
      {"128 characters", {longest + L"q"}, false, 1, "longer than 127 characters"},
  };
  for (const auto& row : rows) {
    TearDown();
    FakeConsole console;
    console.lines = row.typed;
    ToolRun run = AddTyped(console, row.allowEmpty);
    EXPECT_EQ(run.exit, row.exit) << row.what << ": " << run.err;
    std::string prompts = row.typed.size() == 2 ? "Password: \nPassword again: \n" : "Password: \n";
    EXPECT_EQ(run.err.substr(0, prompts.size()), prompts) << row.what;
    if (row.exit == 0) {
      std::string stored = row.typed[0] == longest ? std::string(127, 'q') : row.message;
      EXPECT_EQ(StoredPassword(kUser), stored) << row.what;
    } else {
      EXPECT_NE(run.err.find(row.message), std::string::npos) << row.what << ": " << run.err;
      EXPECT_FALSE(KeyExists(kStorePath, kUser)) << row.what;
    }
    EXPECT_EQ(console.next, row.typed.size()) << row.what << ": every typed line is read";
    for (DWORD mode : console.modesWhileReading) {
      EXPECT_EQ(mode, kConsoleMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) << row.what;
    }
    EXPECT_EQ(console.mode, kConsoleMode) << row.what << ": echo is back";
    EXPECT_EQ(console.handler, nullptr) << row.what << ": the interrupt handler is gone";
  }
}

TEST_F(EnrollConsole, InterruptWhileTypingBringsBackTheEcho) {
  for (size_t line : {0u, 1u}) {
    FakeConsole console;
    console.lines = {L"secret", L"secret"};
    console.interruptAtLine = line;
    ToolRun run = AddTyped(console, false);
    EXPECT_EQ(console.modeAfterInterrupt, kConsoleMode) << "line " << line;
    EXPECT_EQ(run.exit, 1) << "line " << line;
    EXPECT_NE(run.err.find("no password typed"), std::string::npos) << run.err;
    EXPECT_FALSE(KeyExists(kStorePath, kUser));
  }
}

}  // namespace
