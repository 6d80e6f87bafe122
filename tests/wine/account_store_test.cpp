// The account operations against accounts written straight into the real store key: login
// modes, templates and passwords, including values that are too short, unterminated or too long.
#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "accounts/AccountStore.h"

namespace {

// Distinctive names: the store key is shared with the other suites' accounts.
constexpr char kAccount[] = "voduvo-store-test-alice";
constexpr char kOtherAccount[] = "voduvo-store-test-bob";
constexpr char kMissingAccount[] = "voduvo-store-test-nobody";

size_t AllocatedSize(const void* buffer) { return _msize(const_cast<void*>(buffer)); }

std::string AccountPath(const std::string& user) { return std::string(kStorePath) + "\\" + user; }

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

void CreateAccountKey(const std::string& user) { CreateKey(AccountPath(user)); }

void SetAccountValue(const std::string& user, const char* name, DWORD type,
                     const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, AccountPath(user).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::string Dword(DWORD value) { return std::string(reinterpret_cast<char*>(&value), 4); }

// A CPD blob of exactly these plaintext bytes, protected as the enrolment tool does unless told
// otherwise.
std::string Protect(const std::string& plaintext, const BYTE* entropy = passwordEntropy,
                    DWORD flags = CRYPTPROTECT_LOCAL_MACHINE) {
  DATA_BLOB in{static_cast<DWORD>(plaintext.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(plaintext.data()))};
  DATA_BLOB extra{16, const_cast<BYTE*>(entropy)};
  DATA_BLOB out{0, nullptr};
  EXPECT_TRUE(CryptProtectData(&in, L"test", &extra, nullptr, nullptr, flags, &out));
  std::string blob(reinterpret_cast<char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  return blob;
}

class AccountStore : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    for (const char* user : {kAccount, kOtherAccount, kMissingAccount}) {
      DeleteTree(AccountPath(user));
    }
  }
};

// A mode no read leaves behind: a failed read must keep it.
constexpr LoginMode kUntouched = static_cast<LoginMode>(0xA5A5A5A5u);

struct LoginRow {
  const char* what;
  DWORD type;
  std::string bytes;
  int result;
  LoginMode mode;
};

TEST_F(AccountStore, ReadLoginModeTakesTheFirstFourBytesAndRefusesFewer) {
  const LoginRow rows[] = {
      {"not authorized", REG_DWORD, Dword(0), 0, NotAuthorized},
      {"fingerprint only", REG_DWORD, Dword(1), 0, FingerprintOnly},
      {"password only", REG_DWORD, Dword(2), 0, PasswordOnly},
      {"fingerprint or password", REG_DWORD, Dword(3), 0, FingerprintOrPassword},
      {"fingerprint and password", REG_DWORD, Dword(4), 0, FingerprintAndPassword},
      {"no policy", REG_DWORD, Dword(7), 0, static_cast<LoginMode>(7)},
      {"all bits set", REG_DWORD, Dword(0xFFFFFFFF), 0, static_cast<LoginMode>(0xFFFFFFFFu)},
      {"little-endian", REG_BINARY, "\x01\x02\x03\x04", 0, static_cast<LoginMode>(0x04030201)},
      {"binary, longer", REG_BINARY, std::string("\x03\0\0\0\xAA\xBB", 6), 0,
       FingerprintOrPassword},
      // Each short value's bytes would make a valid mode if a read ran on past them.
      {"three bytes", REG_BINARY, std::string("\x01\0\0", 3), -10, kUntouched},
      {"two bytes", REG_BINARY, std::string("\x02\0", 2), -10, kUntouched},
      {"one byte", REG_BINARY, std::string("\x04", 1), -10, kUntouched},
      {"empty", REG_BINARY, "", -10, kUntouched},
  };
  for (const LoginRow& row : rows) {
    SetAccountValue(kAccount, "Login", row.type, row.bytes);
    LoginMode mode = kUntouched;
    EXPECT_EQ(ReadLoginMode(kAccount, &mode), row.result) << row.what;
    EXPECT_EQ(mode, row.mode) << row.what;
  }
}

TEST_F(AccountStore, ReadLoginModeFailures) {
  CreateAccountKey(kAccount);
  LoginMode mode = kUntouched;
  EXPECT_EQ(ReadLoginMode(kAccount, &mode), -10) << "no Login value";
  EXPECT_EQ(ReadLoginMode(kMissingAccount, &mode), -7);
  EXPECT_EQ(ReadLoginMode(nullptr, &mode), -1);
  EXPECT_EQ(ReadLoginMode(kAccount, nullptr), -1);
  EXPECT_EQ(mode, kUntouched);
}

TEST_F(AccountStore, UserNamesMatchWhateverTheirCaseAndABackslashNests) {
  SetAccountValue(kAccount, "Login", REG_DWORD, Dword(3));
  SetAccountValue(std::string(kOtherAccount) + "\\inner", "Login", REG_DWORD, Dword(4));
  LoginMode mode = kUntouched;
  EXPECT_EQ(ReadLoginMode("VODUVO-STORE-TEST-ALICE", &mode), 0);
  EXPECT_EQ(mode, FingerprintOrPassword);
  EXPECT_EQ(ReadLoginMode((std::string(kOtherAccount) + "\\inner").c_str(), &mode), 0);
  EXPECT_EQ(mode, FingerprintAndPassword);
}

TEST_F(AccountStore, ReadTemplateHandsOverEachTemplateAsStored) {
  std::string first(700, '\0');
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i * 7);
  const std::string second("\x00\x01\x02", 3);
  SetAccountValue(kAccount, "Template1", REG_BINARY, first);
  SetAccountValue(kAccount, "Template2", REG_BINARY, second);
  for (int number : {1, 2}) {
    const std::string& stored = number == 1 ? first : second;
    TemplateBuffer* record = nullptr;
    ASSERT_EQ(ReadTemplate(kAccount, &record, number), 0) << number;
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->size, static_cast<int32_t>(stored.size())) << number;
    EXPECT_EQ(AllocatedSize(record->data), stored.size()) << number;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record->data), stored.size()), stored);
    ReleaseTemplate(record);
  }
}

TEST_F(AccountStore, ReadTemplateHandsOverAnEmptyRecordOnceTheAccountExists) {
  SetAccountValue(kAccount, "Template1", REG_BINARY, "template");
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
  EXPECT_EQ(ReadTemplate(kMissingAccount, &record, 1), -7);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(ReadTemplate(nullptr, &record, 1), -1);
  EXPECT_EQ(ReadTemplate(kAccount, nullptr, 1), -1);
}

struct PasswordRow {
  const char* what;
  std::string plaintext;
  int result;
  const char* password;  // null: none handed over
};

TEST_F(AccountStore, ReadPasswordHandsOverOnlyATerminatedPasswordThatFitsItsField) {
  const std::string longest(127, 'x');
  const std::string tooLong(128, 'y');
  const PasswordRow rows[] = {
      {"ordinary", std::string("correct horse\0", 14), 0, "correct horse"},
      {"127 characters", longest + '\0', 0, longest.c_str()},
      {"empty", std::string(1, '\0'), 0, ""},
      {"bytes after the terminator", std::string("abc\0tail", 8), 0, "abc"},
      // A reader that passed these on would run past the buffer or a 128-byte field.
      {"no terminator", "secret", -10, nullptr},
      {"128 characters", tooLong + '\0', -10, nullptr},
      {"128 characters, no terminator", tooLong, -10, nullptr},
      {"nothing", "", -10, nullptr},
  };
  for (const PasswordRow& row : rows) {
    SetAccountValue(kAccount, "CPD", REG_BINARY, Protect(row.plaintext));
    char* password = reinterpret_cast<char*>(0x1);
    ASSERT_EQ(ReadPassword(kAccount, &password), row.result) << row.what;
    if (!row.password) {
      EXPECT_EQ(password, nullptr) << row.what;
      continue;
    }
    ASSERT_NE(password, nullptr) << row.what;
    // Exactly the text and its terminator: nothing unwiped lies beyond it.
    ASSERT_EQ(AllocatedSize(password), strlen(row.password) + 1) << row.what;
    EXPECT_STREQ(password, row.password) << row.what;
    ReleasePassword(password);
  }
}

TEST_F(AccountStore, ReadPasswordRefusesBlobsItCannotUnprotect) {
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
      {"empty", ""},
  };
  for (const auto& row : rows) {
    SetAccountValue(kAccount, "CPD", REG_BINARY, row.blob);
    char* password = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(ReadPassword(kAccount, &password), -10) << row.what;
    EXPECT_EQ(password, nullptr) << row.what;
  }
}

TEST_F(AccountStore, ReadPasswordFailures) {
  CreateAccountKey(kAccount);
  char* password = reinterpret_cast<char*>(0x1);
  EXPECT_EQ(ReadPassword(kAccount, &password), -10) << "no CPD value";
  EXPECT_EQ(password, nullptr);
  EXPECT_EQ(ReadPassword(kMissingAccount, &password), -7);
  EXPECT_EQ(ReadPassword(nullptr, &password), -1);
  EXPECT_EQ(ReadPassword(kAccount, nullptr), -1);
}

TEST(UnprotectPassword, RoundTripsWithTheSharedEntropyOnly) {
  static_assert(sizeof passwordEntropy == 16, "the entropy is sixteen bytes");
  std::string good = Protect(std::string("s3cret\0", 7));
  char* password = nullptr;
  ASSERT_EQ(UnprotectPassword(reinterpret_cast<const BYTE*>(good.data()),
                              static_cast<DWORD>(good.size()), &password),
            0);
  EXPECT_STREQ(password, "s3cret");
  ReleasePassword(password);

  BYTE otherEntropy[16];
  memcpy(otherEntropy, passwordEntropy, 16);
  otherEntropy[15] ^= 1;
  const std::string failing[] = {Protect(std::string("s3cret\0", 7), otherEntropy),
                                 Protect("unterminated"), Protect(std::string(200, 'z') + '\0')};
  for (const std::string& blob : failing) {
    password = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(UnprotectPassword(reinterpret_cast<const BYTE*>(blob.data()),
                                static_cast<DWORD>(blob.size()), &password),
              -12);
    EXPECT_EQ(password, nullptr);
  }
  EXPECT_EQ(UnprotectPassword(reinterpret_cast<const BYTE*>(good.data()),
                              static_cast<DWORD>(good.size()), nullptr),
            -12);
}

// The store key itself missing, or present without accounts. Other suites may have left it in
// either state; it is put back as it was.
class StoreKey : public AccountStore {
 protected:
  void SetUp() override {
    AccountStore::SetUp();
    existed_ = KeyExists(kStoreParentPath, kStoreKeyName);
  }
  void TearDown() override {
    if (existed_) CreateKey(kStorePath);
    if (!existed_) DeleteTree(kStorePath);
    AccountStore::TearDown();
  }
  // Leaves the store key empty or absent; false when it holds accounts of another suite.
  bool MakeStoreKey(bool present) {
    char** names = nullptr;
    int32_t count = 0;
    if (EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count) == 0) {
      ReleaseSubkeyNames(names, count);
      if (count > 0) return false;
    }
    if (present) {
      CreateKey(kStorePath);
    } else {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, kStorePath);
    }
    return KeyExists(kStoreParentPath, kStoreKeyName) == present;
  }
  bool existed_ = false;
};

TEST_F(StoreKey, WithoutAccountsListsAnEmptyArray) {
  if (!MakeStoreKey(true)) GTEST_SKIP() << "the store holds other suites' accounts";
  char** names = nullptr;
  int32_t count = -1;
  ASSERT_EQ(EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_NE(names, nullptr);
  ReleaseSubkeyNames(names, count);
}

TEST_F(StoreKey, MissingFailsTheListingAndEveryAccountOperation) {
  if (!MakeStoreKey(false)) GTEST_SKIP() << "the store holds other suites' accounts";
  char** names = nullptr;
  int32_t count = -1;
  EXPECT_EQ(EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count), -1);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(count, 0);
  LoginMode mode = kUntouched;
  EXPECT_EQ(ReadLoginMode(kAccount, &mode), -7);
  TemplateBuffer* record = nullptr;
  EXPECT_EQ(ReadTemplate(kAccount, &record, 1), -7);
  EXPECT_EQ(record, nullptr);
  char* password = nullptr;
  EXPECT_EQ(ReadPassword(kAccount, &password), -7);
  EXPECT_EQ(password, nullptr);
}

}  // namespace
