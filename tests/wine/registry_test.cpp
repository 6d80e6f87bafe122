// The store's registry primitives against the real registry: joined paths, key tests, subkey
// listing and value reads, every buffer judged against the bytes actually stored.
#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"
#include "accounts/SubkeyNames.h"

namespace {

constexpr char kParent[] = "SOFTWARE\\VoDUVO store tests";
constexpr char kName[] = "registry primitives";
const std::string kScratch = std::string(kParent) + "\\" + kName;

// Out locations start as this; a failure must overwrite it with null.
char kPoison[] = "poison";

// How many bytes a buffer handed out with new[] really has: reads are judged against this.
size_t AllocatedSize(const void* buffer) { return _msize(const_cast<void*>(buffer)); }

void DeleteTree(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return;
  }
  char name[256];
  for (DWORD length = sizeof name; RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr,
                                                 nullptr, nullptr) == ERROR_SUCCESS;
       length = sizeof name) {
    DeleteTree(path + "\\" + name);
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// Creates the key below the scratch key, and the value when a name is given.
void Make(const std::string& sub, const char* value = nullptr, DWORD type = REG_BINARY,
          const std::string& bytes = "") {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kScratch + sub).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (value) {
    EXPECT_EQ(RegSetValueExA(key, value, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

class RegistryPrimitives : public testing::Test {
 protected:
  void SetUp() override {
    DeleteTree(kParent);
    Make("");
  }
  void TearDown() override { DeleteTree(kParent); }
};

TEST(JoinKeyPath, PutsOneBackslashBetweenTheParts) {
  const struct {
    const char* first;
    const char* second;
    const char* joined;  // null: no path
  } rows[] = {
      {"SOFTWARE", "Winlogon", "SOFTWARE\\Winlogon"},
      {"a\\b", "c\\d", "a\\b\\c\\d"},
      {"", "sub", "\\sub"},
      {"base", "", "base\\"},
      {kStoreParentPath, kStoreKeyName, kStorePath},  // both forms name the same key
      {nullptr, "sub", nullptr},
      {"base", nullptr, nullptr},
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

TEST_F(RegistryPrimitives, KeyExistsOnlyForKeysThatOpen) {
  Make("\\child\\grandchild");
  EXPECT_TRUE(KeyExists(kParent, kName));
  EXPECT_TRUE(KeyExists(kScratch.c_str(), "child\\grandchild")) << "a sub path nests";
  EXPECT_TRUE(KeyExists(kScratch.c_str(), "CHILD")) << "the registry ignores case";
  EXPECT_FALSE(KeyExists(kScratch.c_str(), "missing"));
  EXPECT_FALSE(KeyExists(nullptr, "child"));
  EXPECT_FALSE(KeyExists(kScratch.c_str(), nullptr));
}

TEST_F(RegistryPrimitives, KeyExistsTakesAWholePathToo) {
  Make("\\child");
  EXPECT_TRUE(KeyExists((kScratch + "\\child").c_str()));
  EXPECT_TRUE(KeyExists(kScratch.c_str()));
  EXPECT_FALSE(KeyExists((kScratch + "\\missing").c_str()));
  EXPECT_FALSE(KeyExists(static_cast<const char*>(nullptr)));
}

TEST_F(RegistryPrimitives, EnumerateSubkeysListsDirectSubkeysInTheRegistrysOrder) {
  char** names = reinterpret_cast<char**>(kPoison);
  int32_t count = 99;
  ASSERT_EQ(EnumerateSubkeys(kParent, kName, &names, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_NE(names, nullptr) << "an empty array";
  ReleaseSubkeyNames(names, count);

  for (const char* sub : {"\\d", "\\a much longer account name", "\\Carol", "\\bob\\nested"}) {
    Make(sub);
  }
  ASSERT_EQ(EnumerateSubkeys(kParent, kName, &names, &count), 0);
  const char* sorted[] = {"a much longer account name", "bob", "Carol", "d"};
  ASSERT_EQ(count, 4);
  for (int32_t i = 0; i < count; ++i) EXPECT_STREQ(names[i], sorted[i]) << "index " << i;
  ReleaseSubkeyNames(names, count);

  names = reinterpret_cast<char**>(kPoison);
  count = 99;
  EXPECT_EQ(EnumerateSubkeys(kScratch.c_str(), "missing", &names, &count), -1);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(EnumerateSubkeys(nullptr, kName, &names, &count), -1);
  EXPECT_EQ(EnumerateSubkeys(kParent, kName, nullptr, &count), -1);
  EXPECT_EQ(EnumerateSubkeys(kParent, kName, &names, nullptr), -1);
}

// The key changing between the count and the listing, played on an open key: more indices than
// there are subkeys, or a name longer than the longest counted.
TEST_F(RegistryPrimitives, SubkeyListingFailsWholeWhenTheKeyChangedAfterTheCount) {
  Make("\\abc");
  Make("\\abcdef");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key),
            ERROR_SUCCESS);
  const struct {
    DWORD count;
    DWORD longestName;
    int result;
  } rows[] = {{2, 6, 0}, {3, 6, -3}, {2, 5, -3}, {0, 0, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    char** names = reinterpret_cast<char**>(kPoison);
    EXPECT_EQ(ReadSubkeyNames(key, rows[i].count, rows[i].longestName, &names), rows[i].result)
        << "row " << i;
    EXPECT_EQ(names == nullptr, rows[i].result != 0) << "row " << i;
    ReleaseSubkeyNames(rows[i].result == 0 ? names : nullptr, static_cast<int32_t>(rows[i].count));
  }
  RegCloseKey(key);
}

TEST_F(RegistryPrimitives, ReadStringValueAlwaysEndsInsideItsBuffer) {
  const struct {
    const char* what;
    std::string bytes;  // stored as REG_BINARY, so exactly these bytes
    const char* text;
  } rows[] = {
      // Read as stored, these would leave a reader scanning past the buffer.
      {"unterminated", "C:\\gina\\VoDUVO.dll", "C:\\gina\\VoDUVO.dll"},
      {"one byte, unterminated", "X", "X"},
      {"empty", "", ""},
      {"zero inside", std::string("AB\0CD", 5), "AB"},
      {"terminated", std::string("C:\\gina\\VoDUVO.dll\0", 19), "C:\\gina\\VoDUVO.dll"},
  };
  for (const auto& row : rows) {
    Make("", "Text", REG_BINARY, row.bytes);
    char* text = kPoison;
    ASSERT_EQ(ReadStringValue(kParent, kName, "Text", &text), 0) << row.what;
    size_t allocated = AllocatedSize(text);
    EXPECT_EQ(allocated, row.bytes.size() + 1) << row.what << ": the stored bytes and one zero";
    // Searched only within the allocation, so an unterminated buffer fails here, unread past.
    ASSERT_NE(memchr(text, 0, allocated), nullptr) << row.what << ": no terminator in the buffer";
    EXPECT_STREQ(text, row.text) << row.what;
    EXPECT_EQ(std::string(text, row.bytes.size()), row.bytes) << row.what;
    delete[] text;
  }
  char* text = kPoison;
  EXPECT_EQ(ReadStringValue(kParent, kName, "Missing", &text), -7);
  EXPECT_EQ(text, nullptr);
  text = kPoison;
  EXPECT_EQ(ReadStringValue(kScratch.c_str(), "missing key", "Text", &text), -1);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(ReadStringValue(kParent, kName, "Text", nullptr), -1);
}

TEST_F(RegistryPrimitives, ReadBinaryValueHandsOverExactlyTheStoredBytes) {
  std::string every(256, '\0');
  for (size_t i = 0; i < every.size(); ++i) every[i] = static_cast<char>(255 - i);
  const struct {
    DWORD type;
    std::string bytes;
  } rows[] = {{REG_BINARY, every}, {REG_BINARY, "Z"}, {REG_BINARY, ""},
              {REG_DWORD, std::string("\4\0\0\0", 4)}, {REG_SZ, std::string("abc\0", 4)}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Make("", "Data", rows[i].type, rows[i].bytes);
    BYTE* data = reinterpret_cast<BYTE*>(kPoison);
    DWORD size = 12345;
    ASSERT_EQ(ReadBinaryValue(kParent, kName, "Data", &data, &size), 0) << "row " << i;
    ASSERT_EQ(size, rows[i].bytes.size()) << "row " << i;
    // An empty allocation still takes one byte of the heap.
    EXPECT_EQ(AllocatedSize(data), std::max<size_t>(size, 1)) << "row " << i;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), rows[i].bytes) << "row " << i;
    delete[] data;
  }
  BYTE* data = reinterpret_cast<BYTE*>(kPoison);
  DWORD size = 12345;
  EXPECT_EQ(ReadBinaryValue(kParent, kName, "Missing", &data, &size), -7);
  EXPECT_TRUE(data == nullptr && size == 0);
  data = reinterpret_cast<BYTE*>(kPoison);
  size = 12345;
  EXPECT_EQ(ReadBinaryValue(kScratch.c_str(), "missing key", "Data", &data, &size), -1);
  EXPECT_TRUE(data == nullptr && size == 0);
  EXPECT_EQ(ReadBinaryValue(kParent, kName, "Data", nullptr, &size), -1);
  EXPECT_EQ(ReadBinaryValue(kParent, kName, "Data", &data, nullptr), -1);
}

}  // namespace
