#include "fingerprint/Identification.h"

#include <cstring>
#include <new>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/FingerprintLibrary.h"
#include "gina/GinaState.h"

namespace {

constexpr int kNoAccount = -7;
constexpr int kNoList = -2;
constexpr int kUnreadableAccount = -3;

// An error answer of the library counts as no match, like its "no match" answer 0.
int Compare(const TemplateBuffer* candidate, const TemplateBuffer* reference) {
  int score = kNoMatchScore;
  int result = GinaState.library->PxVerify(candidate->data, reference->data, &score, 0);
  return result > 0 ? score : kNoMatchScore;
}

// The account's score over both templates, or false when one cannot be read.
bool ScoreAccount(const TemplateBuffer* candidate, const char* name, int* score) {
  *score = kNoMatchScore;
  for (int number = 1; number <= 2; ++number) {
    if (!name || !KeyExists(kStorePath, name)) return false;
    TemplateBuffer* reference = nullptr;
    bool read = ReadTemplate(name, &reference, number) == 0 && reference->data;
    if (read) {
      int templateScore = Compare(candidate, reference);
      if (templateScore > *score) *score = templateScore;
    }
    ReleaseTemplate(reference);
    if (!read) return false;
  }
  return true;
}

char* CopyName(const char* name) {
  size_t length = std::strlen(name);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy) std::memcpy(copy, name, length + 1);
  return copy;
}

// The best account's index; -1 when none matched or capture stopped, -3 when an account cannot
// be read.
int BestAccount(const TemplateBuffer* candidate, char** names, int32_t count) {
  int best = -1;
  int bestScore = kNoMatchScore;
  for (int32_t i = 0; i < count; ++i) {
    if (!CaptureGateOpen()) return -1;
    int score;
    if (!ScoreAccount(candidate, names[i], &score)) return -3;
    if (score > bestScore) {
      best = i;
      bestScore = score;
    }
  }
  return best;
}

}  // namespace

int IdentifyFingerprint(const TemplateBuffer* candidate, char** userName) {
  if (!GinaState.library) return kNoAccount;
  char** names = nullptr;
  int32_t count = 0;
  if (EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count) != 0) return kNoList;

  int best = BestAccount(candidate, names, count);
  int result = 0;
  if (best == -3) {
    result = kUnreadableAccount;
  } else if (best < 0) {
    *userName = nullptr;
    result = kNoAccount;
  } else {
    *userName = CopyName(names[best]);
    if (!*userName) result = kNoAccount;
  }
  ReleaseSubkeyNames(names, count);
  return result;
}

void ReleaseUserName(char* userName) {
  if (!userName) return;
  SecureZeroMemory(userName, std::strlen(userName));
  delete[] userName;
}
