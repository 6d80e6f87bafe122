// The account store: reads an enrolled account's login mode, templates and password from the
// registry (layout in accounts/StoreFormat.h). It keeps no state, takes no lock and may be
// called from any thread; a change made by the enrolment tool is seen at the next read.
//
// Every buffer handed back is allocated with new[] (records with new) and belongs to the caller.
#pragma once

#include <windows.h>

#include <cstdint>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"

// One fingerprint template: the bytes and their count. Release with ReleaseTemplate.
struct TemplateBuffer {
  BYTE* data;    // null until a value has been read
  int32_t size;  // 0 until a value has been read
};

// The account's Login value: its first four bytes, little-endian, passed on unchanged. Returns
// StoreOk; StoreNullArgument; StoreNoAccount; StoreUnreadable when its Login value is missing or
// shorter than four bytes. On failure *mode is left as it was.
int ReadLoginMode(const char* userName, LoginMode* mode);

// Template1 (number 1) or Template2 (number 2) of the account. Once the account's key has been
// found, *record is a new TemplateBuffer whatever the result, with null data on failure.
// Returns StoreOk; StoreNullArgument; StoreNoAccount; StoreUnreadable when the value cannot be
// read or the number is neither 1 nor 2.
int ReadTemplate(const char* userName, TemplateBuffer** record, int number);
// Frees the record and its bytes; null is allowed.
void ReleaseTemplate(TemplateBuffer* record);

// The account's unprotected password: a terminated string of at most 127 characters, which the
// caller wipes and frees with ReleasePassword. Returns StoreOk; StoreNullArgument;
// StoreNoAccount; StoreUnreadable when CPD is missing or cannot be unprotected into such a
// string.
int ReadPassword(const char* userName, char** password);

// Unprotects a CPD blob with passwordEntropy in local-machine scope. On success *password is a
// new buffer holding the plaintext up to and including its first zero byte (release it with
// ReleasePassword). Returns StoreOk, or StoreUnprotectFailed when CryptUnprotectData fails or
// the plaintext has no zero byte within its first kTextFieldSize bytes (it would not fit the
// logon shim's fields).
int UnprotectPassword(const BYTE* blob, DWORD size, char** password);

// Overwrites the password's characters and terminator with zeros, then frees it; null is
// allowed.
void ReleasePassword(char* password);
