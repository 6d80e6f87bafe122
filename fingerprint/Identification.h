// The 1:N search of an extracted template over both enrolled templates of every account.
#pragma once

#include "accounts/AccountStore.h"
#include "fingerprint/CaptureGate.h"

// Score of a template that does not match.
constexpr int kNoMatchScore = -1;

// 0 with *userName a new copy of the best-matching account's name (the caller wipes and frees it
// with ReleaseUserName); -7 when there is no library or no account scored above -1 (*userName
// null in the latter case); -2 when the accounts cannot be listed; -3 when a listed account's key,
// Template1 or Template2 cannot be read. Ties go to the account listed first. A search that
// the end of the ticket's capture session interrupts answers -7. A search that finds no account,
// and an account or list that cannot be read, are queued for the event log.
int IdentifyFingerprint(const TemplateBuffer* candidate, char** userName, CaptureTicket ticket);
void ReleaseUserName(char* userName);

// The identified account's password, as ReadPassword gives it; a password that cannot be read is
// queued for the event log with the store's code.
int ReadMatchedPassword(const char* userName, char** password);
