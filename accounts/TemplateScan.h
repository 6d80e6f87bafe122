// Reading both templates of one account after another, as a fingerprint search does for every
// account on every image: one open of the account's key for both values, into buffers that are
// kept and grown across accounts instead of allocated per value.
#pragma once

#include <windows.h>

// A reusable buffer; capacity is 0 while there is none.
struct TemplateScratch {
  BYTE* data;
  DWORD capacity;
};

// Template1 into first and Template2 into second. Returns 0; -7 when the account's key cannot be
// opened; -10 when a value is missing or cannot be read (memory included), and then *unreadable,
// when given, names that value.
int ReadBothTemplates(const char* userName, TemplateScratch* first, TemplateScratch* second,
                      const char** unreadable = nullptr);
// Frees the buffer; the scratch starts empty again.
void ReleaseScratch(TemplateScratch* scratch);
