// The store's registry primitives against the real registry: joined paths, key tests, subkey
// listing and value reads, with every buffer checked against the bytes actually stored.
#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"
#include "accounts/SubkeyNames.h"

namespace {

constexpr char kScratchParent[] = "SOFTWARE\\VoDUVO store tests";
constexpr char kScratchName[] = "registry primitives";
const std::string kScratch = std::string(kScratchParent) + "\\" + kScratchName;

// How many bytes a buffer handed out with new[] really has: reads are judged against this.
size_t AllocatedSize(const void* buffer) { return _msize(const_cast<void*>(buffer)); }

void DeleteTree(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return;
  }
  char name[256];
  DWORD length = sizeof name;
  while (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS) {
    DeleteTree(path + "\\" + name);
    length = sizeof name;
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

void CreateKey(const std::string& path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  RegCloseKey(key);
}

void SetValue(const std::string& path, const char* name, DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The value's bytes as the registry itself hands them out.
std::string RawValue(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "(no key)";
  }
  std::string bytes(4096, '\0');
  DWORD size = static_cast<DWORD>(bytes.size());
  LONG status = RegQueryValueExA(key, name, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&bytes[0]), &size);
  RegCloseKey(key);
  bytes.resize(status == ERROR_SUCCESS ? size : 0);
  return bytes;
}

// The names as the registry itself enumerates them.
std::vector<std::string> RawSubkeyNames(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  char name[256];
  DWORD length = sizeof name;
  for (DWORD i = 0; RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
       ++i, length = sizeof name) {
    names.emplace_back(name);
  }
  RegCloseKey(key);
  return names;
}

class RegistryPrimitives : public testing::Test {
 protected:
  void SetUp() override {
    DeleteTree(kScratch);
    CreateKey(kScratch);
  }
  void TearDown() override { DeleteTree(kScratchParent); }
};

// Poison for out locations: a failure must overwrite it with null.
char kPoison[] = "poison";
BYTE* PoisonBytes() { return reinterpret_cast<BYTE*>(kPoison); }

TEST(JoinKeyPath, PutsOneBackslashBetweenTheParts) {
  struct Row {
    const char* first;
    const char* second;
    const char* joined;  // null: no path
  } rows[] = {
      {"SOFTWARE", "Winlogon", "SOFTWARE\\Winlogon"},
      {"a\\b", "c\\d", "a\\b\\c\\d"},
      {"", "sub", "\\sub"},
      {"base", "", "base\\"},
      {nullptr, "sub", nullptr},
      {"base", nullptr, nullptr},
      {nullptr, nullptr, nullptr},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    char* path = JoinKeyPath(rows[i].first, rows[i].second);
    if (!rows[i].joined) {
      EXPECT_EQ(path, nullptr) << "row " << i;
      continue;
    }
    ASSERT_NE(path, nullptr) << "row " << i;
    EXPECT_STREQ(path, rows[i].joined) << "row " << i;
    EXPECT_EQ(AllocatedSize(path), strlen(rows[i].joined) + 1) << "row " << i;
    delete[] path;
  }
}

TEST(JoinKeyPath, BothFormsOfTheStoreKeyNameTheSameKey) {
  char* joined = JoinKeyPath(kStoreParentPath, kStoreKeyName);
  EXPECT_STREQ(joined, kStorePath);
  delete[] joined;
}

TEST_F(RegistryPrimitives, KeyExistsOnlyForKeysThatOpen) {
  CreateKey(kScratch + "\\child\\grandchild");
  EXPECT_TRUE(KeyExists(kScratchParent, kScratchName));
  EXPECT_TRUE(KeyExists(kScratch.c_str(), "child"));
  EXPECT_TRUE(KeyExists(kScratch.c_str(), "child\\grandchild")) << "a sub path nests";
  EXPECT_TRUE(KeyExists(kScratch.c_str(), "CHILD")) << "the registry ignores case";
  EXPECT_FALSE(KeyExists(kScratch.c_str(), "missing"));
  EXPECT_FALSE(KeyExists(kScratch.c_str(), "child\\missing"));
  EXPECT_FALSE(KeyExists(nullptr, "child"));
  EXPECT_FALSE(KeyExists(kScratch.c_str(), nullptr));
}

TEST_F(RegistryPrimitives, EnumerateSubkeysOfAKeyWithoutSubkeysGivesAnEmptyArray) {
  char** names = reinterpret_cast<char**>(PoisonBytes());
  int32_t count = 99;
  ASSERT_EQ(EnumerateSubkeys(kScratchParent, kScratchName, &names, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_NE(names, nullptr);
  EXPECT_NE(names, reinterpret_cast<char**>(PoisonBytes()));
  ReleaseSubkeyNames(names, count);
}

TEST_F(RegistryPrimitives, EnumerateSubkeysListsEveryNameInEnumerationOrder) {
  const char* made[] = {"bob", "a much longer account name", "Carol", "d"};
  for (const char* name : made) CreateKey(kScratch + "\\" + name);
  CreateKey(kScratch + "\\bob\\nested");  // not a direct subkey: not listed
  std::vector<std::string> expected = RawSubkeyNames(kScratch);
  ASSERT_EQ(expected.size(), 4u);

  char** names = nullptr;
  int32_t count = 0;
  ASSERT_EQ(EnumerateSubkeys(kScratchParent, kScratchName, &names, &count), 0);
  ASSERT_EQ(count, 4);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_EQ(names[i], expected[static_cast<size_t>(i)]) << "index " << i;
    EXPECT_NE(memchr(names[i], 0, AllocatedSize(names[i])), nullptr) << "terminated, index " << i;
  }
  ReleaseSubkeyNames(names, count);
}

TEST_F(RegistryPrimitives, EnumerateSubkeysFailuresHandNothingOver) {
  char** names = reinterpret_cast<char**>(PoisonBytes());
  int32_t count = 99;
  EXPECT_EQ(EnumerateSubkeys(kScratch.c_str(), "missing", &names, &count), -1);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(EnumerateSubkeys(nullptr, kScratchName, &names, &count), -1);
  EXPECT_EQ(EnumerateSubkeys(kScratchParent, kScratchName, nullptr, &count), -1);
  EXPECT_EQ(EnumerateSubkeys(kScratchParent, kScratchName, &names, nullptr), -1);
}

// The registry changing between the count and the listing, played on an open key: more indices
// than there are subkeys, or a name longer than the longest counted.
TEST_F(RegistryPrimitives, SubkeyListingFailsWholeWhenTheKeyChangedAfterTheCount) {
  CreateKey(kScratch + "\\abc");
  CreateKey(kScratch + "\\abcdef");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key),
            ERROR_SUCCESS);
  struct Row {
    DWORD count;
    DWORD longestName;
    int result;
  } rows[] = {{2, 6, 0}, {3, 6, -3}, {2, 5, -3}, {0, 0, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    char** names = reinterpret_cast<char**>(PoisonBytes());
    EXPECT_EQ(ReadSubkeyNames(key, rows[i].count, rows[i].longestName, &names), rows[i].result)
        << "row " << i;
    if (rows[i].result == 0) {
      EXPECT_NE(names, nullptr) << "row " << i;
      ReleaseSubkeyNames(names, static_cast<int32_t>(rows[i].count));
    } else {
      EXPECT_EQ(names, nullptr) << "row " << i;
    }
  }
  RegCloseKey(key);
}

struct StoredValue {
  const char* what;
  DWORD type;
  std::string bytes;
  std::string text;  // what a reader of the text sees up to its terminator
};

// The first rows hold no zero byte at all: read as they are stored, they would leave the reader
// scanning past the buffer.
const StoredValue kStringValues[] = {
    {"unterminated", REG_BINARY, "C:\\gina\\VoDUVO.dll", "C:\\gina\\VoDUVO.dll"},
    {"one byte, unterminated", REG_BINARY, "X", "X"},
    {"empty", REG_BINARY, "", ""},
    {"zero inside", REG_BINARY, std::string("AB\0CD", 5), "AB"},
    {"terminated", REG_SZ, std::string("C:\\WINDOWS\\system32\\VoDUVO.dll\0", 31),
     "C:\\WINDOWS\\system32\\VoDUVO.dll"},
    // The registry may add the terminator of a string type itself; either way the text ends.
    {"string type without its zero", REG_SZ, "ABCDEFG", "ABCDEFG"},
};

TEST_F(RegistryPrimitives, ReadStringValueAlwaysEndsInsideItsBuffer) {
  for (const StoredValue& v : kStringValues) {
    SetValue(kScratch, "Text", v.type, v.bytes);
    const std::string stored = RawValue(kScratch, "Text");
    if (v.type == REG_BINARY) {
      ASSERT_EQ(stored, v.bytes) << v.what << ": stored as given";
    }
    char* text = kPoison;
    ASSERT_EQ(ReadStringValue(kScratchParent, kScratchName, "Text", &text), 0) << v.what;
    ASSERT_NE(text, nullptr) << v.what;
    size_t allocated = AllocatedSize(text);
    // Searched only within the allocation, so an unterminated buffer fails here, unread past.
    const char* end = static_cast<const char*>(memchr(text, 0, allocated));
    ASSERT_NE(end, nullptr) << v.what << ": no terminator within the buffer";
    EXPECT_EQ(std::string(static_cast<const char*>(text), end), v.text) << v.what;
    EXPECT_EQ(allocated, stored.size() + 1) << v.what << ": the stored bytes and one zero";
    EXPECT_EQ(std::string(text, stored.size()), stored) << v.what;
    delete[] text;
  }
}

TEST_F(RegistryPrimitives, ReadStringValueFailures) {
  char* text = kPoison;
  EXPECT_EQ(ReadStringValue(kScratchParent, kScratchName, "Missing", &text), -7);
  EXPECT_EQ(text, nullptr);
  text = kPoison;
  EXPECT_EQ(ReadStringValue(kScratch.c_str(), "missing key", "Text", &text), -1);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(ReadStringValue(kScratchParent, kScratchName, "Text", nullptr), -1);
}

TEST_F(RegistryPrimitives, ReadBinaryValueHandsOverExactlyTheStoredBytes) {
  std::string every(256, '\0');
  for (size_t i = 0; i < every.size(); ++i) every[i] = static_cast<char>(255 - i);
  const StoredValue rows[] = {
      {"all byte values", REG_BINARY, every, ""},
      {"one byte", REG_BINARY, std::string(1, '\x5a'), ""},
      {"empty", REG_BINARY, "", ""},
      {"dword", REG_DWORD, std::string("\x04\x00\x00\x00", 4), ""},
      {"string", REG_SZ, std::string("abc\0", 4), ""},
  };
  for (const StoredValue& v : rows) {
    SetValue(kScratch, "Data", v.type, v.bytes);
    BYTE* data = PoisonBytes();
    DWORD size = 12345;
    ASSERT_EQ(ReadBinaryValue(kScratchParent, kScratchName, "Data", &data, &size), 0) << v.what;
    ASSERT_EQ(size, v.bytes.size()) << v.what;
    ASSERT_NE(data, nullptr) << v.what;
    // An empty allocation still takes one byte of the heap.
    EXPECT_EQ(AllocatedSize(data), std::max<size_t>(v.bytes.size(), 1)) << v.what
        << ": allocated as stored";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), v.bytes) << v.what;
    delete[] data;
  }
}

TEST_F(RegistryPrimitives, ReadBinaryValueFailuresHandNothingOver) {
  BYTE* data = PoisonBytes();
  DWORD size = 12345;
  EXPECT_EQ(ReadBinaryValue(kScratchParent, kScratchName, "Missing", &data, &size), -7);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  data = PoisonBytes();
  size = 12345;
  EXPECT_EQ(ReadBinaryValue(kScratch.c_str(), "missing key", "Data", &data, &size), -1);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(ReadBinaryValue(nullptr, kScratchName, "Data", &data, &size), -1);
  EXPECT_EQ(ReadBinaryValue(kScratchParent, kScratchName, "Data", nullptr, &size), -1);
  EXPECT_EQ(ReadBinaryValue(kScratchParent, kScratchName, "Data", &data, nullptr), -1);
}

}  // namespace
