// Reading both templates of one account after another, as a fingerprint search does for every
// account on every image: one open of the account's key for both values, into buffers that are
// kept and grown across accounts instead of allocated per value.
#pragma once

#include <windows.h>

#include "accounts/StoreResult.h"

// The library is handed templates without their sizes and reads as far as a template's own
// header says, up to a whole template: so every buffer holds at least this much, zero beyond the
// value's bytes, however short the stored value.
constexpr DWORD kTemplateRoom = 10000;

// A reusable buffer; capacity is 0 while there is none.
struct TemplateScratch {
  BYTE* data;
  DWORD capacity;
  DWORD used;  // bytes of the last value; all beyond are zero
};

// Template1 into first and Template2 into second. Returns StoreOk; StoreNoAccount when the
// account's key cannot be opened; StoreUnreadable when a value is missing or cannot be read
// (memory included), and then *unreadable, when given, names that value.
int ReadBothTemplates(const char* userName, TemplateScratch* first, TemplateScratch* second,
                      const char** unreadable = nullptr);
// Frees the buffer; the scratch starts empty again.
void ReleaseScratch(TemplateScratch* scratch);
