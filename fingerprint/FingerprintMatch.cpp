#include "fingerprint/FingerprintMatch.h"

#include <cstring>

FingerprintMatch fingerprintMatch;

namespace {

FingerprintMatch& Match() { return fingerprintMatch; }

size_t TextLength(const char* text) { return text ? std::strlen(text) : kTextFieldSize; }

void WipeWhole() {
  WipeTextField(Match().candidateUser);
  WipeTextField(Match().candidatePassword);
  Match().fingerprintMatched = false;
}

}  // namespace

bool RecordMatch(const char* name, const char* password, CaptureTicket ticket) {
  if (!LockWhileOpen(&Match().recordLock, ticket)) return false;
  bool matched = false;
  if (!Match().fingerprintMatched) {
    WipeWhole();
    if (TextLength(name) < kTextFieldSize) CopyTextField(Match().candidateUser, name);
    matched = TextLength(name) < kTextFieldSize && TextLength(password) < kTextFieldSize;
    if (matched) CopyTextField(Match().candidatePassword, password);
    Match().fingerprintMatched = matched;
  }
  Unlock(&Match().recordLock);
  return matched;
}

void AnnounceMatch(CaptureTicket ticket) {
  if (!LockWhileOpen(&Match().recordLock, ticket)) return;
  RaiseNoticeSas();
  Unlock(&Match().recordLock);
}

void ForgetMatchForNotice() {
  LockAlways(&Match().recordLock);
  BeginNoticeSession();
  WipeWhole();
  Unlock(&Match().recordLock);
}

void AwaitMatchRecorded() {
  LockAlways(&Match().recordLock);
  Unlock(&Match().recordLock);
}

void ForgetMatch() { WipeWhole(); }

void ForgetMatchedPassword() {
  WipeTextField(Match().candidatePassword);
  Match().fingerprintMatched = false;
}

void WipeCandidatePassword() { WipeTextField(Match().candidatePassword); }

void TakeTypedUser(const char* typedName) { CopyTextField(Match().candidateUser, typedName); }
