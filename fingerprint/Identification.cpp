#include "fingerprint/Identification.h"

#include <cstring>
#include <new>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"
#include "accounts/TemplateScan.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintLibrary.h"
#include "resources/EventLog.h"

namespace {

constexpr int kNoAccount = -7;
constexpr int kNoList = -2;
constexpr int kUnreadableAccount = -3;

// An error answer of the library counts as no match, like its "no match" answer 0.
int Compare(const TemplateBuffer* candidate, const TemplateScratch& reference) {
  int score = kNoMatchScore;
  int result = captureState.library->PxVerify(candidate->data, reference.data, &score, 0);
  return result > 0 ? score : kNoMatchScore;
}

// Such an account makes every identification fail until it is repaired, and nothing at the
// workstation says so.
void ReportUnreadableAccount(const char* name, const char* value, int code) {
  EventNumber number(code);
  if (code == StoreNoValue)
    QueueModuleEvent(EVENT_ACCOUNT_KEY_UNREADABLE, name, number.Text());
  else
    QueueModuleEvent(EVENT_ACCOUNT_VALUE_UNREADABLE, name, value, number.Text());
}

// The account's score, the better of its two templates; false when one cannot be read.
bool ScoreAccount(const TemplateBuffer* candidate, const char* name, TemplateScratch* first,
                  TemplateScratch* second, int* score) {
  if (!name) return false;
  const char* unreadable = "";
  int read = ReadBothTemplates(name, first, second, &unreadable);
  if (read != 0) {
    ReportUnreadableAccount(name, unreadable, read);
    return false;
  }
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

// Without a store key nobody is enrolled yet: the finger matched none of no accounts.
void ReportUnlistedAccounts(int code) {
  if (code == StoreNoKey)
    QueueModuleEvent(EVENT_FINGER_NOT_FOUND, EventNumber(0).Text());
  else
    QueueModuleEvent(EVENT_ACCOUNTS_NOT_LISTED, EventNumber(code).Text());
}

}  // namespace

int IdentifyFingerprint(const TemplateBuffer* candidate, char** userName, CaptureTicket ticket) {
  if (!captureState.library) return kNoAccount;
  char** names = nullptr;
  int32_t count = 0;
  int listed = EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count);
  if (listed != 0) {
    ReportUnlistedAccounts(listed);
    return kNoList;
  }

  int best = BestAccount(candidate, names, count, ticket);
  int result = 0;
  if (best == kUnreadableAccount) {
    result = kUnreadableAccount;
  } else if (best < 0) {
    *userName = nullptr;
    result = kNoAccount;
    if (GateOpenFor(ticket)) QueueModuleEvent(EVENT_FINGER_NOT_FOUND, EventNumber(count).Text());
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

int ReadMatchedPassword(const char* userName, char** password) {
  int read = ReadPassword(userName, password);
  if (read != 0) {
    QueueModuleEvent(EVENT_MATCHED_PASSWORD_UNREADABLE, userName, kPasswordValue,
                      EventNumber(read).Text());
  }
  return read;
}
