// The account operations on accounts in the real store key: login modes, templates and
// passwords, including values that are too short, unterminated or too long.
#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "accounts/AccountStore.h"
#include "accounts/AccountWriting.h"
#include "tests/wine/support/ImportHook.h"

namespace {

// Distinctive names: the store key is shared with the other suites' accounts.
constexpr char kAccount[] = "voduvo-store-test-alice";
constexpr char kNested[] = "voduvo-store-test-bob\\inner";
constexpr char kNestedParent[] = "voduvo-store-test-bob";
constexpr char kMissing[] = "voduvo-store-test-nobody";

// A mode that no read produces here: a failed read must leave it.
constexpr LoginMode kUntouched = static_cast<LoginMode>(0xA5A5A5A5u);

size_t AllocatedSize(const void* buffer) { return _msize(const_cast<void*>(buffer)); }

// The bytes a watched buffer holds at the moment it is freed.
struct FreeWatch {
  const void* block = nullptr;
  size_t size = 0;
  std::string bytesAtFree;
  decltype(&free) realFree = nullptr;
} freeWatch;

void __cdecl WatchFree(void* block) {
  if (block && block == freeWatch.block)
    freeWatch.bytesAtFree.assign(static_cast<const char*>(block), freeWatch.size);
  freeWatch.realFree(block);
}

// What a released password's buffer held as it went back to the heap.
std::string ReleasedBytes(char* password) {
  freeWatch = FreeWatch{password, strlen(password) + 1, "unfreed", nullptr};
  freeWatch.realFree = CodeCast<decltype(&free)>(
      ReplaceImport("msvcrt.dll", "free", CodeCast<FARPROC>(WatchFree)));
  if (!freeWatch.realFree) return "free is not watched";
  ReleasePassword(password);
  ReplaceImport("msvcrt.dll", "free", CodeCast<FARPROC>(freeWatch.realFree));
  return freeWatch.bytesAtFree;
}

void Set(const char* user, const char* value, DWORD type, const std::string& bytes) {
  ASSERT_EQ(SetAccountValue(user, value, type, reinterpret_cast<const BYTE*>(bytes.data()),
                            bytes.size()),
            ERROR_SUCCESS);
}

std::string Dword(DWORD value) { return std::string(reinterpret_cast<char*>(&value), 4); }

// A CPD blob of exactly these plaintext bytes, protected in local-machine scope.
std::string Protect(const std::string& plaintext, const BYTE* entropy = passwordEntropy) {
  DATA_BLOB in{static_cast<DWORD>(plaintext.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(plaintext.data()))};
  DATA_BLOB extra{16, const_cast<BYTE*>(entropy)};
  DATA_BLOB out{0, nullptr};
  EXPECT_TRUE(CryptProtectData(&in, L"test", &extra, nullptr, nullptr,
                               CRYPTPROTECT_LOCAL_MACHINE, &out));
  std::string blob(reinterpret_cast<char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  return blob;
}

class AccountStore : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    for (const char* user : {kAccount, kNested, kNestedParent}) RemoveAccount(user);
  }
};

TEST_F(AccountStore, ReadLoginModeTakesTheFirstFourBytesAndRefusesFewer) {
  const struct {
    const char* what;
    DWORD type;
    std::string bytes;
    int result;
    LoginMode mode;
  } rows[] = {
      {"not authorized", REG_DWORD, Dword(0), 0, NotAuthorized},
      {"fingerprint and password", REG_DWORD, Dword(4), 0, FingerprintAndPassword},
      {"no policy", REG_DWORD, Dword(7), 0, static_cast<LoginMode>(7)},
      {"all bits set", REG_DWORD, Dword(0xFFFFFFFF), 0, static_cast<LoginMode>(0xFFFFFFFFu)},
      {"little-endian", REG_BINARY, "\x01\x02\x03\x04", 0, static_cast<LoginMode>(0x04030201)},
      {"binary, longer", REG_BINARY, std::string("\x03\0\0\0\xAA", 5), 0, FingerprintOrPassword},
      // Each short value would make a valid mode if a read ran on past its bytes.
      {"three bytes", REG_BINARY, std::string("\x01\0\0", 3), -10, kUntouched},
      {"two bytes", REG_BINARY, std::string("\x02\0", 2), -10, kUntouched},
      {"one byte", REG_BINARY, "\x04", -10, kUntouched},
      {"empty", REG_BINARY, "", -10, kUntouched},
  };
  for (const auto& row : rows) {
    Set(kAccount, "Login", row.type, row.bytes);
    LoginMode mode = kUntouched;
    EXPECT_EQ(ReadLoginMode(kAccount, &mode), row.result) << row.what;
    EXPECT_EQ(mode, row.mode) << row.what;
  }
}

TEST_F(AccountStore, ReadLoginModeFailuresAndNames) {
  Set(kAccount, "Template1", REG_BINARY, "t");
  Set(kNested, "Login", REG_DWORD, Dword(3));
  LoginMode mode = kUntouched;
  EXPECT_EQ(ReadLoginMode(kAccount, &mode), -10) << "no Login value";
  EXPECT_EQ(ReadLoginMode(kMissing, &mode), -7);
  EXPECT_EQ(ReadLoginMode(nullptr, &mode), -1);
  EXPECT_EQ(ReadLoginMode(kAccount, nullptr), -1);
  EXPECT_EQ(mode, kUntouched);
  EXPECT_EQ(ReadLoginMode("VODUVO-STORE-TEST-BOB\\Inner", &mode), 0) << "case-blind, nested";
  EXPECT_EQ(mode, FingerprintOrPassword);
}

TEST_F(AccountStore, ReadTemplateHandsOverEachTemplateAsStored) {
  std::string first(700, '\0');
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i * 7);
  const std::string second("\0\1\2", 3);
  Set(kAccount, "Template1", REG_BINARY, first);
  Set(kAccount, "Template2", REG_BINARY, second);
  for (int number : {1, 2}) {
    const std::string& stored = number == 1 ? first : second;
    TemplateBuffer* record = nullptr;
    ASSERT_EQ(ReadTemplate(kAccount, &record, number), 0) << number;
    ASSERT_EQ(record->size, static_cast<int32_t>(stored.size())) << number;
    EXPECT_EQ(AllocatedSize(record->data), stored.size()) << number;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record->data), stored.size()), stored);
    ReleaseTemplate(record);
  }
}

TEST_F(AccountStore, ReadTemplateHandsOverAnEmptyRecordOnceTheAccountExists) {
  Set(kAccount, "Template1", REG_BINARY, "template");
  for (int number : {0, 3, -1, 2}) {  // 2: there is no Template2
    TemplateBuffer* record = nullptr;
    EXPECT_EQ(ReadTemplate(kAccount, &record, number), -10) << number;
    ASSERT_NE(record, nullptr) << number;
    EXPECT_EQ(record->data, nullptr) << number;
    EXPECT_EQ(record->size, 0) << number;
    ReleaseTemplate(record);
  }
  TemplateBuffer poison{};
  TemplateBuffer* record = &poison;
  EXPECT_EQ(ReadTemplate(kMissing, &record, 1), -7);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(ReadTemplate(nullptr, &record, 1), -1);
  EXPECT_EQ(ReadTemplate(kAccount, nullptr, 1), -1);
}

TEST_F(AccountStore, ReadPasswordHandsOverOnlyATerminatedPasswordThatFitsItsField) {
  const std::string longest(127, 'x');
  const std::string tooLong(128, 'y');
  const struct {
    const char* what;
    std::string plaintext;
    int result;
    const char* password;  // null: none handed over
  } rows[] = {
      {"ordinary", std::string("correct horse\0", 14), 0, "correct horse"},
      {"127 characters", longest + '\0', 0, longest.c_str()},
      {"empty", std::string(1, '\0'), 0, ""},
      {"bytes after the terminator", std::string("abc\0tail", 8), 0, "abc"},
      // Passed on, these would make a reader run past the buffer or a 128-byte field.
      {"no terminator", "secret", -10, nullptr},
      {"128 characters", tooLong + '\0', -10, nullptr},
      {"128 characters, no terminator", tooLong, -10, nullptr},
      {"nothing", "", -10, nullptr},
  };
  for (const auto& row : rows) {
    Set(kAccount, "CPD", REG_BINARY, Protect(row.plaintext));
    char* password = reinterpret_cast<char*>(0x1);
    ASSERT_EQ(ReadPassword(kAccount, &password), row.result) << row.what;
    if (!row.password) {
      EXPECT_EQ(password, nullptr) << row.what;
      continue;
    }
    // Exactly the text and its terminator: nothing unwiped lies beyond it.
    ASSERT_EQ(AllocatedSize(password), strlen(row.password) + 1) << row.what;
    EXPECT_STREQ(password, row.password) << row.what;
    EXPECT_EQ(ReleasedBytes(password), std::string(strlen(row.password) + 1, '\0'))
        << row.what << ": wiped before it is freed";
  }
}

TEST_F(AccountStore, ReadPasswordRefusesWhatItCannotUnprotect) {
  const BYTE otherEntropy[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::string good = Protect(std::string("pw\0", 3));
  std::string badSignature = good;
  badSignature.back() = static_cast<char>(badSignature.back() ^ 0x40);
  const struct {
    const char* what;
    std::string blob;
  } rows[] = {
      {"another entropy", Protect(std::string("pw\0", 3), otherEntropy)},
      {"signature changed", badSignature},
      {"cut short", good.substr(0, good.size() - 8)},
      {"not a blob", "this is not a protected blob"},
  };
  for (const auto& row : rows) {
    Set(kAccount, "CPD", REG_BINARY, row.blob);
    char* password = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(ReadPassword(kAccount, &password), -10) << row.what;
    EXPECT_EQ(password, nullptr) << row.what;
  }
  RemoveAccount(kAccount);
  Set(kAccount, "Login", REG_DWORD, Dword(1));
  char* password = reinterpret_cast<char*>(0x1);
  EXPECT_EQ(ReadPassword(kAccount, &password), -10) << "no CPD value";
  EXPECT_EQ(password, nullptr);
  EXPECT_EQ(ReadPassword(kMissing, &password), -7);
  EXPECT_EQ(ReadPassword(nullptr, &password), -1);
  EXPECT_EQ(ReadPassword(kAccount, nullptr), -1);
}

TEST(UnprotectPassword, RoundTripsWithTheSharedEntropyOnly) {
  static_assert(sizeof passwordEntropy == 16, "the entropy is sixteen bytes");
  BYTE otherEntropy[16];
  memcpy(otherEntropy, passwordEntropy, 16);
  otherEntropy[15] ^= 1;
  const struct {
    std::string blob;
    int result;
  } rows[] = {
      {Protect(std::string("s3cret\0", 7)), 0},
      {Protect(std::string("s3cret\0", 7), otherEntropy), -12},
      {Protect("unterminated"), -12},
      {Protect(std::string(200, 'z') + '\0'), -12},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const BYTE* blob = reinterpret_cast<const BYTE*>(rows[i].blob.data());
    char* password = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(UnprotectPassword(blob, static_cast<DWORD>(rows[i].blob.size()), &password),
              rows[i].result)
        << "row " << i;
    if (rows[i].result != 0) {
      EXPECT_EQ(password, nullptr) << "row " << i;
      continue;
    }
    EXPECT_STREQ(password, "s3cret");
    ReleasePassword(password);
    EXPECT_EQ(UnprotectPassword(blob, static_cast<DWORD>(rows[i].blob.size()), nullptr), -12);
  }
}

// The store key missing altogether. It is put back if it was there. While another suite has
// accounts in it, the key is left alone and nothing is checked (GTEST_SKIP is not used: it
// crashes the 32-bit suite under emulated Wine).
TEST_F(AccountStore, AMissingStoreKeyFailsTheListingAndEveryAccountOperation) {
  char** names = nullptr;
  int32_t count = 0;
  bool existed = EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count) == 0;
  ReleaseSubkeyNames(names, count);
  if (count > 0) {
    printf("[   NOTE   ] the store holds other suites' accounts: not taken away\n");
    return;
  }
  if (existed) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kStorePath), ERROR_SUCCESS);
  }

  EXPECT_EQ(EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count), -1);
  LoginMode mode = kUntouched;
  EXPECT_EQ(ReadLoginMode(kAccount, &mode), -7);
  TemplateBuffer* record = nullptr;
  EXPECT_EQ(ReadTemplate(kAccount, &record, 1), -7);
  char* password = nullptr;
  EXPECT_EQ(ReadPassword(kAccount, &password), -7);

  HKEY key = nullptr;
  if (existed && RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStorePath, 0, nullptr, 0, KEY_READ, nullptr,
                                 &key, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

}  // namespace
