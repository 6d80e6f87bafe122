#include "fingerprint/Identification.h"

#include <cstring>
#include <new>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"
#include "accounts/TemplateScan.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/FingerprintLibrary.h"
#include "gina/GinaState.h"

namespace {

constexpr int kNoAccount = -7;
constexpr int kNoList = -2;
constexpr int kUnreadableAccount = -3;

// An error answer of the library counts as no match, like its "no match" answer 0.
int Compare(const TemplateBuffer* candidate, const TemplateScratch& reference) {
  int score = kNoMatchScore;
  int result = GinaState.library->PxVerify(candidate->data, reference.data, &score, 0);
  return result > 0 ? score : kNoMatchScore;
}

// The account's score, the better of its two templates; false when one cannot be read.
bool ScoreAccount(const TemplateBuffer* candidate, const char* name, TemplateScratch* first,
                  TemplateScratch* second, int* score) {
  if (!name || ReadBothTemplates(name, first, second) != 0) return false;
  int score1 = Compare(candidate, *first);
  int score2 = Compare(candidate, *second);
  *score = score1 > score2 ? score1 : score2;
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
int BestAccount(const TemplateBuffer* candidate, char** names, int32_t count,
                CaptureTicket ticket) {
  TemplateScratch first{nullptr, 0, 0}, second{nullptr, 0, 0};
  int best = -1;
  int bestScore = kNoMatchScore;
  for (int32_t i = 0; i < count && best != kUnreadableAccount; ++i) {
    int score = kNoMatchScore;
    if (!GateOpenFor(ticket)) {
      best = -1;
      break;
    }
    if (!ScoreAccount(candidate, names[i], &first, &second, &score)) {
      best = kUnreadableAccount;
    } else if (score > bestScore) {
      best = i;
      bestScore = score;
    }
  }
  ReleaseScratch(&first);
  ReleaseScratch(&second);
  return best;
}

}  // namespace

int IdentifyFingerprint(const TemplateBuffer* candidate, char** userName, CaptureTicket ticket) {
  if (!GinaState.library) return kNoAccount;
  char** names = nullptr;
  int32_t count = 0;
  if (EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count) != 0) return kNoList;

  int best = BestAccount(candidate, names, count, ticket);
  int result = 0;
  if (best == kUnreadableAccount) {
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
