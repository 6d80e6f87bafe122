// Reading the password that the tool protects: one line of redirected standard input, or typed
// twice at the console without echo; either way in the ANSI code page that the logon dialogs
// read it in.
#pragma once

#include <windows.h>

#include <cstdio>

#include "accounts/StoreFormat.h"

// A password held on the stack, wiped when it goes out of scope.
struct SecretText {
  // Room for the longest password, a carriage return and the terminator: the line is only
  // judged once the line end has been taken off.
  char text[kMaxStoredTextLength + 2];
  SecretText();
  ~SecretText();
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
};

enum class PasswordLine { Read, Missing, TooLong, ZeroByte, Mismatch, NoAnsiForm };

// Reads one line (up to a line feed or the end of input) into secret, without its line end. A
// line that is UTF-8 with a character beyond ASCII, as editors save text today, is converted to
// the ANSI code page (a byte-order mark dropped), and refused when a character has no exact form
// there; any other line is taken as bytes in the ANSI code page.
PasswordLine ReadPasswordLine(FILE* in, SecretText& secret);

// Asks at the console for the password and then for it again, each typed without echo and read
// as wide characters, and hands over its ANSI code page form. Refuses two different lines, a
// line with a character that the ANSI code page has no exact form for, and a password longer
// than 127 bytes in that form. The prompts go to prompt. The console's mode is put back when
// the lines are read, and also if the tool is interrupted (Ctrl+C, Ctrl+Break) while they are
// typed.
PasswordLine ReadTypedPassword(HANDLE console, FILE* prompt, SecretText& secret);
