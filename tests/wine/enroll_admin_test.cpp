// The administrator's commands of the enrolment tool, run in-process: enrolment by finger from
// the stand-in fingerprint library's readers, check of the store and of GinaDLL, install and
// uninstall of the module as Winlogon's GINA.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "accounts/AccountStore.h"
#include "accounts/AccountWriting.h"
#include "resources/EventSource.h"
#include "sim/papyl/StandInPapylControl.h"
#include "tests/wine/support/EnrollToolRuns.h"
#include "tests/wine/support/ImportHook.h"
#include "tests/wine/support/TestPaths.h"
#include "tests/wine/support/WinlogonRegistry.h"

namespace {

constexpr char kGrace[] = "voduvo-enroll-test-grace";
constexpr char kHeidi[] = "voduvo-enroll-test-heidi";
constexpr char kHeidiWithDomain[] = "voduvo-enroll-test-heidi@corp";
constexpr char kWinlogonPath[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kRecordPath[] = "SOFTWARE\\VoDUVO";
constexpr char kReader[] = "reader-1";

std::string AccountPath(const char* user) { return std::string(kStorePath) + "\\" + user; }

// A folder as the tool ships: VoDUVO.dll and, unless left out, papyl.dll. Removed with the
// object.
class ShippedFolder {
 public:
  explicit ShippedFolder(bool withLibrary = true) {
    path_ = TempName("vdg");
    DeleteFileA(path_.c_str());
    CreateDirectoryA(path_.c_str(), nullptr);
    CopyFileA(BinPath("VoDUVO.dll").c_str(), Module().c_str(), FALSE);
    if (withLibrary) CopyFileA(BinPath("papyl\\papyl.dll").c_str(), Library().c_str(), FALSE);
  }
  // Puts bytes in place of the module.
  void SetModule(const std::string& bytes) const {
    DeleteFileA(Module().c_str());
    TempFile source(bytes);
    CopyFileA(source.Path().c_str(), Module().c_str(), FALSE);
  }
  ~ShippedFolder() {
    DeleteFileA(Module().c_str());
    DeleteFileA(Library().c_str());
    RemoveDirectoryA(path_.c_str());
  }
  ShippedFolder(const ShippedFolder&) = delete;
  ShippedFolder& operator=(const ShippedFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string Module() const { return path_ + "\\VoDUVO.dll"; }
  std::string Library() const { return path_ + "\\papyl.dll"; }

 private:
  std::string path_;
};

// The module as built, marked for the other processor (x86 beside x64).
std::string ModuleForOtherProcessor() {
  std::string module = FileContents(BinPath("VoDUVO.dll"));
  DWORD peHeader = 0;
  memcpy(&peHeader, &module[0x3c], sizeof peHeader);
  WORD other = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
  memcpy(&module[peHeader + 4], &other, sizeof other);
  return module;
}

// A drive letter that no drive has.
char FreeDriveLetter(char after = 0) {
  DWORD used = GetLogicalDrives();
  for (char letter = 'Y'; letter > 'D'; --letter) {
    if (letter != after && !(used & (1u << (letter - 'A')))) return letter;
  }
  return 0;
}

// Wine's own request to its mount manager for a drive letter (its configuration tool's).
struct WineUnixDrive {
  ULONG size, type, fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset, deviceOffset, labelOffset;
};

bool DefineWineDrive(char letter, UINT type, const char* unixPath) {
  std::string request(sizeof(WineUnixDrive), '\0');
  WineUnixDrive drive{};
  drive.type = type;
  drive.letter = static_cast<WCHAR>(letter - 'A' + 'a');
  if (unixPath) {
    drive.mountPointOffset = sizeof drive;
    request.append(unixPath, strlen(unixPath) + 1);
  }
  drive.size = static_cast<ULONG>(request.size());
  memcpy(&request[0], &drive, sizeof drive);
  HANDLE manager =
      CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  const DWORD defineUnixDrive =
      CTL_CODE(DWORD{'m'}, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
  DWORD got = 0;
  BOOL done = DeviceIoControl(manager, defineUnixDrive, &request[0], drive.size, nullptr, 0,
                              &got, nullptr);
  CloseHandle(manager);
  return done != FALSE;
}

// A folder seen through a drive letter of its own while the object lives: a removable drive, as
// Wine's mount manager makes one, or a drive made with subst.
class FolderAsDrive {
 public:
  FolderAsDrive(const std::string& folder, bool removable, char after = 0)
      : letter_(FreeDriveLetter(after)), removable_(removable) {
    std::string name = std::string(1, letter_) + ":";
    if (!removable_) {
      defined_ = letter_ && DefineDosDeviceA(0, name.c_str(), folder.c_str());
      return;
    }
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = CodeCast<UnixName>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    std::wstring wide(folder.begin(), folder.end());
    char* unixPath = unixName ? unixName(wide.c_str()) : nullptr;
    defined_ = letter_ && unixPath && DefineWineDrive(letter_, DRIVE_REMOVABLE, unixPath);
    if (unixPath) HeapFree(GetProcessHeap(), 0, unixPath);
  }
  ~FolderAsDrive() {
    if (!defined_) return;
    if (removable_) DefineWineDrive(letter_, DRIVE_NO_ROOT_DIR, nullptr);
    else DefineDosDeviceA(DDD_REMOVE_DEFINITION, (std::string(1, letter_) + ":").c_str(), nullptr);
  }
  FolderAsDrive(const FolderAsDrive&) = delete;
  FolderAsDrive& operator=(const FolderAsDrive&) = delete;
  bool Defined() const { return defined_; }
  char Letter() const { return letter_; }
  std::string Path(const char* file) const { return std::string(1, letter_) + ":\\" + file; }

 private:
  char letter_;
  bool removable_;
  bool defined_ = false;
};

// ---- Enrolment by finger ------------------------------------------------------------------

// The stand-in library as the tool finds it beside itself (the tool loads it by its bare name,
// so it gets this very module), its readers unplugged before and after.
class EnrollByFinger : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, AccountPath(kGrace).c_str());
    standIn_ = LoadLibraryA(BinPath("papyl\\papyl.dll").c_str());
    ASSERT_NE(standIn_, nullptr);
    ASSERT_TRUE(papyl_.Bind(standIn_));
    papyl_.Reset();
  }
  void TearDown() override {
    if (standIn_) {
      papyl_.Reset();
      FreeLibrary(standIn_);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, AccountPath(kGrace).c_str());
  }
  std::string Template(int finger, int placement) {
    std::vector<unsigned char> buffer(10000);
    int size = static_cast<int>(buffer.size());
    EXPECT_GE(papyl_.EnrolTemplate(finger, placement, buffer.data(), &size), 0);
    return std::string(reinterpret_cast<char*>(buffer.data()), static_cast<size_t>(size));
  }
  HMODULE standIn_ = nullptr;
  SimPapylControl papyl_{};
};

SimPapylControl* person = nullptr;

bool AwaitCall(const char* exportedName) {
  for (int tries = 0; tries < 1000 && person->CallCount(exportedName) < 1; ++tries) Sleep(10);
  return person->CallCount(exportedName) >= 1;
}

// What the person at the workstation does while the tool waits: plugs a reader in, then places
// finger 1, finger 2 (not the same finger: no match), and finger 3 twice.
DWORD PlugReaderAndPlaceFingers() {
  if (!AwaitCall("_PxCapInitialize@4")) return 1;
  Sleep(100);
  person->PlugReader(kReader);
  if (!AwaitCall("_PxCapStartCapture@12")) return 1;
  for (int finger : {1, 2, 3, 3}) person->PlaceFinger(kReader, finger);
  return 0;
}

HANDLE testWaits = nullptr;  // set as the test's thread starts waiting for the person's

// The person's thread ends only once the test's thread waits for it: under the 32-bit
// emulation, a thread that ends while another runs can bring Wine down.
DWORD WINAPI ThePerson(LPVOID) {
  DWORD result = PlugReaderAndPlaceFingers();
  WaitForSingleObject(testWaits, 30000);
  return result;
}

TEST_F(EnrollByFinger, TakesTwoMatchingPlacementsAfterAPairThatDoesNotMatch) {
  person = &papyl_;
  testWaits = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE helper = CreateThread(nullptr, 0, ThePerson, nullptr, 0, nullptr);
  ToolRun run =
      RunTool({"add", kGrace, "--mode", "fingerprint-only", "--finger", "--reader-timeout", "20"},
              "finger password\n", BinPath("papyl"));
  SignalObjectAndWait(testWaits, helper, 20000, FALSE);
  CloseHandle(helper);
  CloseHandle(testWaits);
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, std::string("Added account ") + kGrace + ", mode 1 (fingerprint-only)\n");
  EXPECT_EQ(run.err,
            "Waiting for a fingerprint reader...\n"
            "Place the finger on the reader.\n"
            "Lift the finger, then place it on the reader again.\n"
            "The two placements do not match; place the finger again.\n"
            "Lift the finger, then place it on the reader again.\n"
            "The two placements match.\n");
  EXPECT_EQ(StoredTemplate(kGrace, 1), Template(3, 0));
  EXPECT_EQ(StoredTemplate(kGrace, 2), Template(3, 1));
  EXPECT_EQ(papyl_.CallCount("_PxExtract@28"), 4);
  EXPECT_EQ(papyl_.CallCount("_PxVerify@16"), 2);
  for (const char* ending : {"_PxCapFinalize@0", "_PxFinalize@0"}) {
    EXPECT_EQ(papyl_.CallCount(ending), 1) << ending;
  }
  EXPECT_EQ(papyl_.LateCalls(), 0);
}

TEST_F(EnrollByFinger, GivesUpWhenNoReaderComesAndWritesNothing) {
  ToolRun run = RunTool({"add", kGrace, "--mode", "1", "--finger", "--reader-timeout", "1"},
                        "finger password\n", BinPath("papyl"));
  EXPECT_EQ(run.exit, 2);
  EXPECT_EQ(run.err,
            "Waiting for a fingerprint reader...\n"
            "voduvo-enroll: no fingerprint reader was plugged in within 1 second\n"
            "Nothing was written.\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(KeyExists(kStorePath, kGrace));
  EXPECT_EQ(papyl_.CallCount("_PxCapFinalize@0"), 1);
  EXPECT_EQ(papyl_.CallCount("_PxFinalize@0"), 1);
}

TEST(EnrollAdminArguments, AreRefusedWithAMessageAndNothingChanges) {
  const std::string folder = BinPath("papyl");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } rows[] = {
      {{"add", kGrace, "--mode", "1", "--finger", "--template1", "t1"},
       "--finger and template files exclude each other"},
      {{"add", kGrace, "--mode", "1", "--reader-timeout", "5"}, "--reader-timeout goes with"},
      {{"add", kGrace, "--mode", "1", "--finger", "--reader-timeout", "0"},
       "--reader-timeout takes a number of seconds from 1 to 3600"},
      {{"add", kGrace, "--mode", "1", "--finger", "--reader-timeout", "3601"}, "from 1 to 3600"},
      {{"check", "now"}, "check takes no arguments"},
      {{"install", "a.dll", "b.dll"}, "install takes at most the module's path"},
      {{"uninstall", "now"}, "uninstall takes no arguments"},
  };
  for (const auto& row : rows) {
    ToolRun run = RunTool(row.args, "finger password\n", folder);
    EXPECT_EQ(run.exit, 1) << row.args[0];
    EXPECT_TRUE(run.err.find(row.message) != std::string::npos) << run.err;
    EXPECT_FALSE(KeyExists(kStorePath, kGrace));
  }
}

// ---- check --------------------------------------------------------------------------------

class EnrollCheck : public testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
  }
  void TearDown() override {
    for (const char* user : {kGrace, kHeidi, kHeidiWithDomain}) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, AccountPath(user).c_str());
    }
  }
  void Enrol(const char* user) {
    TempFile first("template one"), second("template two");
    ToolRun run = RunTool({"add", user, "--mode", "3", "--template1", first.Path(), "--template2", second.Path()},
                          "a password\n", folder_.Path());
    EXPECT_EQ(run.exit, 0) << run.err;
  }
  ToolRun Check() { return RunTool({"check"}, "", folder_.Path()); }
  ShippedFolder folder_;
  ScopedGinaDll ginaDll_{folder_.Module()};
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(EnrollCheck, FindsAHealthyStoreAndInstallationWell) {
  Enrol(kGrace);
  ToolRun run = Check();
  EXPECT_EQ(run.exit, 0) << run.out;
  EXPECT_EQ(run.out, std::string("Account ") + kGrace +
                         ": mode 3 (fingerprint-or-password), Template1 readable, Template2 "
                         "readable, password readable\n"
                         "GinaDLL: " +
                         folder_.Module() +
                         "\n"
                         "Fingerprint library: " +
                         folder_.Library() +
                         "\n"
                         "Event log source VoDUVO: not registered (the Event Viewer cannot show "
                         "the texts of the module's events; install registers it)\n"
                         "All is well.\n");
}

TEST_F(EnrollCheck, ShowsEachAccountThatIdentificationOrLogonCannotUse) {
  Enrol(kGrace);
  Enrol(kHeidi);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, AccountPath(kGrace).c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  RegDeleteValueA(key, "Template2");
  RegCloseKey(key);
  // A password protected on another computer cannot be unprotected here.
  const BYTE foreign[] = {1, 0, 0, 0, 0xd0, 0x8c, 0x9d, 0xdf, 1, 0x15, 0xd1, 0x11};
  ASSERT_EQ(SetAccountValue(kHeidi, "CPD", REG_BINARY, foreign, sizeof foreign), ERROR_SUCCESS);
  // Whole and readable, but named as no typed name is ever looked up.
  Bytes password;
  ASSERT_TRUE(ProtectPassword("a password", password));
  ASSERT_EQ(SetAccountValues(kHeidiWithDomain, AccountValues(NotAuthorized, Bytes{1}, Bytes{2},
                                                             password)),
            ERROR_SUCCESS);

  ToolRun run = Check();
  EXPECT_EQ(run.exit, 3);
  EXPECT_TRUE(Contains(run.out, std::string("PROBLEM: account ") + kGrace +
                                    ": Template2 is missing or unreadable. While this account "
                                    "is enrolled, every fingerprint identification fails: "
                                    "nobody can log on by fingerprint."))
      << run.out;
  EXPECT_TRUE(Contains(run.out, std::string("Account ") + kGrace +
                                    ": mode 3 (fingerprint-or-password), Template1 readable, "
                                    "Template2 unreadable, password readable\n"));
  EXPECT_TRUE(Contains(run.out, std::string("PROBLEM: account ") + kHeidi +
                                    ": its password cannot be unprotected on this computer"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "Template2 readable, password not unprotectable here\n"));
  EXPECT_TRUE(Contains(run.out, std::string("PROBLEM: account ") + kHeidiWithDomain +
                                    ": the logon reads a typed name with @ or \\ as the account "
                                    "name alone"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "3 problems found.\n"));
  // As check advises, the account can be removed.
  EXPECT_EQ(RunTool({"remove", kHeidiWithDomain}, "", folder_.Path()).exit, 0);
}

TEST_F(EnrollCheck, ShowsAGinaDllThatLeavesTheModuleWithoutItsLibrary) {
  ShippedFolder withoutLibrary(false);
  FolderAsDrive removable(folder_.Path(), true);
  ASSERT_TRUE(removable.Defined());
  const struct {
    const char* what;
    std::string ginaDll;  // empty: not set
    std::string problem;
  } rows[] = {
      {"not set", "", "PROBLEM: GinaDLL is not set: Winlogon loads its own MSGINA.DLL"},
      {"bare name", "VoDUVO.dll", "PROBLEM: GinaDLL does not name the module by a full path"},
      {"folder only", folder_.Path() + "\\", "does not name the module by a full path"},
      {"no such file", folder_.Path() + "\\Other.dll", "which is not there"},
      {"network path", "\\\\server\\share\\VoDUVO.dll",
       "PROBLEM: GinaDLL names \\\\server\\share\\VoDUVO.dll, which is on a network path"},
      {"removable drive", removable.Path("VoDUVO.dll"),
       std::string("which is on drive ") + removable.Letter() + ":, a removable drive"},
      {"not a GINA", folder_.Library(), "which exports none of the GINA entry points"},
      {"library missing", withoutLibrary.Module(),
       "PROBLEM: the fingerprint library papyl.dll is not in " + withoutLibrary.Path()},
  };
  for (const auto& row : rows) {
    if (row.ginaDll.empty()) {
      RemoveGinaDll();
    } else {
      ASSERT_TRUE(SetGinaDll(row.ginaDll));
    }
    ToolRun run = Check();
    EXPECT_EQ(run.exit, 3) << row.what;
    EXPECT_TRUE(Contains(run.out, row.problem)) << row.what << ": " << run.out;
    EXPECT_TRUE(Contains(run.out, "No accounts are enrolled.\n")) << row.what;
  }
}

// ---- install and uninstall ----------------------------------------------------------------

// A value with its type and bytes, or "(absent)".
std::string ValueDump(HKEY key, const char* name) {
  BYTE data[1024];
  DWORD size = sizeof data;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return "(absent)";
  return std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
}

// What install and uninstall may touch: Winlogon's GinaDLL and the record's key with each of
// its values.
std::string InstallationDump() {
  HKEY key = nullptr;
  std::string dump = "(no Winlogon key)";
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonPath, 0, KEY_QUERY_VALUE, &key) == 0) {
    dump = "GinaDLL=" + ValueDump(key, "GinaDLL");
    RegCloseKey(key);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRecordPath, 0, KEY_QUERY_VALUE, &key) != 0) {
    return dump + " (no record)";
  }
  char name[256];
  BYTE data[1024];
  DWORD nameLength = sizeof name, size = sizeof data, type = 0;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) == 0;
       ++i, nameLength = sizeof name, size = sizeof data) {
    dump += std::string(" ") + name + "=" + std::to_string(type) + ":" +
            std::string(reinterpret_cast<char*>(data), size);
  }
  RegCloseKey(key);
  return dump;
}

void SetRawGinaDll(DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonPath, 0, KEY_SET_VALUE, &key), 0);
  RegSetValueExA(key, "GinaDLL", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

class EnrollInstall : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRecordPath);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
  }
  ToolRun Tool(std::vector<std::string> args) { return RunTool(args, "", folder_.Path()); }
  ScopedGinaDll ginaDll_;  // starts without GinaDLL; puts the suite's value back after
  ShippedFolder folder_;
};

TEST_F(EnrollInstall, InstallAndUninstallLeaveTheRegistryAsItWas) {
  const struct {
    const char* what;
    DWORD type;           // REG_NONE: no GinaDLL before
    std::string before;   // its bytes
    const char* putBack;  // what uninstall says it put back
  } rows[] = {
      {"no GinaDLL", REG_NONE, "", "GinaDLL is not set again (Winlogon's own MSGINA.DLL)"},
      {"another GINA", REG_SZ, std::string("C:\\gina\\other.dll\0", 19),
       "GinaDLL is C:\\gina\\other.dll again"},
      {"expandable, unterminated", REG_EXPAND_SZ, "%SystemRoot%\\system32\\x.dll",
       "GinaDLL is %SystemRoot%\\system32\\x.dll again"},
  };
  for (const auto& row : rows) {
    RemoveGinaDll();
    if (row.type != REG_NONE) SetRawGinaDll(row.type, row.before);
    const std::string before = InstallationDump();

    ToolRun install = Tool({"install"});
    ASSERT_EQ(install.exit, 0) << row.what << ": " << install.err;
    std::string module = folder_.Module();
    std::string ginaDll;
    EXPECT_TRUE(ReadGinaDll(&ginaDll));
    EXPECT_EQ(ginaDll, module) << row.what;
    // Installing again, by the path this time, keeps the value from before the first install.
    ToolRun again = Tool({"install", module});
    EXPECT_EQ(again.exit, 0) << row.what << ": " << again.err;
    EXPECT_EQ(again.out, install.out) << row.what;

    ToolRun uninstall = Tool({"uninstall"});
    EXPECT_EQ(uninstall.exit, 0) << row.what << ": " << uninstall.err;
    EXPECT_EQ(uninstall.out, "Uninstalled " + module + "; " + row.putBack +
                                 ".\nRestart the computer for Winlogon to take the change.\n")
        << row.what;
    EXPECT_EQ(InstallationDump(), before) << row.what;
  }
}

TEST_F(EnrollInstall, RefusesWhatWouldLeaveTheModuleOrAnotherGinaStranded) {
  ShippedFolder withoutLibrary(false);
  ShippedFolder odd;  // its module replaced row by row
  FolderAsDrive removable(folder_.Path(), true);
  FolderAsDrive subst(folder_.Path(), false, removable.Letter());
  ASSERT_TRUE(removable.Defined());
  ASSERT_TRUE(subst.Defined());
  const std::string foreign = "C:\\vendor\\othergina.dll";
  const std::string otherProcessor = sizeof(void*) == 8 ? "x86, not for x64" : "x64, not for x86";
  const struct {
    const char* what;
    bool installFirst;
    const char* ginaDllAfterInstall;  // null: left as install set it
    std::vector<std::string> args;
    std::string message;
    std::string oddModule = "";  // the bytes of odd's module, when not empty
  } rows[] = {
      {"network path",
       false,
       nullptr,
       {"install", "\\\\server\\share\\VoDUVO.dll"},
       "install: the module \\\\server\\share\\VoDUVO.dll is on a network path, not on a local "
       "fixed drive: Winlogon could not load it at boot"},
      {"removable drive",
       false,
       nullptr,
       {"install", removable.Path("VoDUVO.dll")},
       std::string("is on drive ") + removable.Letter() + ":, a removable drive, not a local"},
      {"subst drive",
       false,
       nullptr,
       {"install", subst.Path("VoDUVO.dll")},
       std::string("is on drive ") + subst.Letter() + ":, which subst made of " + folder_.Path() +
           " for this logon session only"},
      {"other processor", false, nullptr, {"install", odd.Module()},
       "is a DLL for " + otherProcessor + " like this tool", ModuleForOtherProcessor()},
      {"a program", false, nullptr, {"install", odd.Module()}, "is a program, not a DLL",
       FileContents(BinPath("voduvo-enroll.exe"))},
      {"not a module", false, nullptr, {"install", odd.Module()}, "is not a Windows module",
       "MZ and no more"},
      {"an entry point missing", false, nullptr, {"install", odd.Module()},
       "lacks the GINA entry point WlxLogoff: Winlogon could not load it",
       FileContents(BinPath("msgina\\no-logoff\\MSGINA.DLL"))},
      {"not a GINA",
       false,
       nullptr,
       {"install", folder_.Library()},
       "install: the module " + folder_.Library() + " exports none of the GINA entry points"},
      {"library missing",
       false,
       nullptr,
       {"install", withoutLibrary.Module()},
       "install: the fingerprint library papyl.dll is not in " + withoutLibrary.Path()},
      {"module missing",
       false,
       nullptr,
       {"install", folder_.Path() + "\\Missing.dll"},
       "install: the module " + folder_.Path() + "\\Missing.dll is not there"},
      {"never installed", false, nullptr, {"uninstall"}, "uninstall: install has not set GinaDLL"},
      {"uninstall over another GINA",
       true,
       foreign.c_str(),
       {"uninstall"},
       "uninstall: GinaDLL is now " + foreign + ", not the module that install set (" +
           folder_.Module() + "): another GINA was installed over it since"},
      {"install over another GINA",
       true,
       foreign.c_str(),
       {"install"},
       "install: GinaDLL is now " + foreign},
  };
  for (const auto& row : rows) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRecordPath);
    RemoveGinaDll();
    if (row.installFirst) {
      ASSERT_EQ(Tool({"install"}).exit, 0) << row.what;
    }
    if (row.ginaDllAfterInstall) {
      ASSERT_TRUE(SetGinaDll(row.ginaDllAfterInstall));
    }
    if (!row.oddModule.empty()) odd.SetModule(row.oddModule);
    const std::string before = InstallationDump();
    ToolRun run = Tool(row.args);
    EXPECT_EQ(run.exit, 2) << row.what;
    EXPECT_TRUE(Contains(run.err, row.message)) << row.what << ": " << run.err;
    EXPECT_TRUE(Contains(run.err, "Nothing was changed.")) << row.what;
    EXPECT_EQ(InstallationDump(), before) << row.what;
  }
}

}  // namespace
