// The event log source as the enrolment tool handles it: install points it at the installed
// module, check names that module, uninstall takes out exactly what install put in.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "resources/EventSource.h"
#include "tests/wine/support/EnrollToolRuns.h"
#include "tests/wine/support/TestPaths.h"
#include "tests/wine/support/WinlogonRegistry.h"
#include "tools/enroll/GinaRegistry.h"

namespace {

// The source's key as "name=type:bytes" per value, in enumeration order; "(no key)" without it.
std::string SourceDump() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, KEY_QUERY_VALUE, &key) != 0)
    return "(no key)";
  std::string dump;
  char name[256];
  BYTE data[1024];
  DWORD nameLength = sizeof name, size = sizeof data, type = 0;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) == 0;
       ++i, nameLength = sizeof name, size = sizeof data) {
    dump += std::string(dump.empty() ? "" : " ") + name + "=" + std::to_string(type) + ":" +
            std::string(reinterpret_cast<char*>(data), size);
  }
  RegCloseKey(key);
  return dump;
}

void SetSourceValue(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class EventSource : public testing::Test {
 protected:
  // The module and the fingerprint library in a folder of their own, as install wants them.
  void SetUp() override {
    TearDown();
    DeleteFileA(folder_.c_str());
    CreateDirectoryA(folder_.c_str(), nullptr);
    CopyFileA(BinPath("VoDUVO.dll").c_str(), module_.c_str(), FALSE);
    CopyFileA(BinPath("papyl\\papyl.dll").c_str(), (folder_ + "\\papyl.dll").c_str(), FALSE);
  }
  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kInstallRecordPath);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
    DeleteFileA(module_.c_str());
    DeleteFileA((folder_ + "\\papyl.dll").c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  ToolRun Tool(const std::string& command) {
    return command == "install" ? RunTool({"install", module_}, "") : RunTool({command}, "");
  }
  ScopedGinaDll ginaDll_;  // starts without GinaDLL; puts the suite's value back after
  const std::string folder_ = TempName("vds");
  const std::string module_ = folder_ + "\\VoDUVO.dll";
};

TEST_F(EventSource, InstallRegistersItCheckNamesItUninstallTakesOutWhatInstallPutIn) {
  const std::string types = "TypesSupported=4:" + std::string("\x07\0\0\0", 4);
  const std::string messages =
      "EventMessageFile=2:" + module_ + std::string(1, '\0');
  const struct {
    const char* what;
    bool otherValueBefore;  // someone else's value in the key before install
    std::string installed;  // the key after install
    std::string uninstalled;
  } rows[] = {
      {"no source before", false, messages + " " + types, "(no key)"},
      {"a key with another value", true, "CategoryCount=4:" + std::string("\x02\0\0\0", 4) + " " +
                                             messages + " " + types,
       "CategoryCount=4:" + std::string("\x02\0\0\0", 4)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kInstallRecordPath);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
    RemoveGinaDll();
    if (row.otherValueBefore) SetSourceValue("CategoryCount", 2);
    EXPECT_TRUE(Contains(Tool("check").out, "Event log source VoDUVO: not registered"));

    ToolRun install = Tool("install");
    ASSERT_EQ(install.exit, 0) << install.err;
    EXPECT_EQ(SourceDump(), row.installed);
    EXPECT_TRUE(Contains(Tool("check").out, "Event log source VoDUVO: texts from " + module_ + "\n"));

    ToolRun uninstall = Tool("uninstall");
    EXPECT_EQ(uninstall.exit, 0) << uninstall.err;
    EXPECT_EQ(uninstall.err, "");
    EXPECT_EQ(SourceDump(), row.uninstalled);
  }
}

}  // namespace
