// Reading the password that the tool protects: one line of its standard input, never echoed.
#pragma once

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

enum class PasswordLine { Read, Missing, TooLong, ZeroByte };

// Reads one line (up to a line feed or the end of input) into secret, without its line end.
// When interactive, the line comes from the console: the prompt goes to prompt and the console
// stops echoing while the line is typed.
PasswordLine ReadPasswordLine(FILE* in, bool interactive, FILE* prompt, SecretText& secret);
