// Every user name and password the module holds lives in a field of one size, NUL included: the
// size of the system's logon dialog fields.
#pragma once

#include <windows.h>

constexpr size_t kTextFieldSize = 128;

// Overwrites a whole text field with zeros.
inline void WipeTextField(char (&field)[kTextFieldSize]) {
  SecureZeroMemory(field, sizeof field);
}

// Copies a text into a field up to its terminator or the field's size, whichever comes first;
// the field is always terminated and holds zeros after the text.
inline void CopyTextField(char (&field)[kTextFieldSize], const char* text) {
  size_t length = 0;
  while (length < kTextFieldSize - 1 && text[length]) {
    field[length] = text[length];
    ++length;
  }
  SecureZeroMemory(field + length, kTextFieldSize - length);
}
