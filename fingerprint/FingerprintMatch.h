// The account a finger identified since the last notice was shown. The library's thread records
// it whole (name, password and the flag) and raises the SAS under one lock; the dialog hooks on
// Winlogon's thread read it once that SAS has stopped capture, and wipe the password when done.
#pragma once

#include <windows.h>

#include "accounts/TextField.h"
#include "fingerprint/CaptureGate.h"

struct FingerprintMatch {
  volatile LONG recordLock;  // a match is recorded and announced whole, or not at all
  bool fingerprintMatched;
  char candidateUser[kTextFieldSize];
  char candidatePassword[kTextFieldSize];
};

// The module's one match. Read it through the calls below; only they write it.
extern FingerprintMatch fingerprintMatch;

// On the library's thread: records the account unless its session has ended or a finger has
// already matched. A name or password that does not fit its field is never cut to fit: that
// counts as no match. True when this call recorded a match.
bool RecordMatch(const char* name, const char* password, CaptureTicket ticket);
// On the library's thread: raises the SAS of the ticket's notice, unless its session has ended.
void AnnounceMatch(CaptureTicket ticket);

// On Winlogon's thread, before a notice: forgets every earlier match, after which callbacks of
// earlier notices can record nothing.
void ForgetMatchForNotice();
// Returns once a match being recorded is whole.
void AwaitMatchRecorded();
// Name, password and flag wiped (at logoff).
void ForgetMatch();
// After the system's dialog: the password wiped and the flag cleared; the name stays.
void ForgetMatchedPassword();
// During the system's dialog: the password wiped, the match otherwise kept.
void WipeCandidatePassword();
// A typed logon records its user as the candidate.
void TakeTypedUser(const char* typedName);

inline bool FingerprintMatched() { return fingerprintMatch.fingerprintMatched; }
inline const char* CandidateUser() { return fingerprintMatch.candidateUser; }
inline const char* CandidatePassword() { return fingerprintMatch.candidatePassword; }
