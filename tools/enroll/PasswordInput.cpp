// Reading the password from standard input without echoing it.
#include "tools/enroll/PasswordInput.h"

#include <windows.h>

namespace {

PasswordLine ReadLine(FILE* in, SecretText& secret) {
  const size_t capacity = sizeof secret.text - 1;
  size_t length = 0;
  bool overflow = false;
  bool zeroByte = false;
  int c = fgetc(in);
  if (c == EOF) return PasswordLine::Missing;
  // The rest of an overlong line is read too, so none of it is left for another reader.
  for (; c != EOF && c != '\n'; c = fgetc(in)) {
    zeroByte = zeroByte || c == 0;
    if (length == capacity) overflow = true;
    if (!overflow) secret.text[length++] = static_cast<char>(c);
  }
  if (length > 0 && secret.text[length - 1] == '\r') --length;
  secret.text[length] = '\0';
  if (overflow || length > kMaxStoredTextLength) return PasswordLine::TooLong;
  // A zero byte would silently cut the password short.
  return zeroByte ? PasswordLine::ZeroByte : PasswordLine::Read;
}

}  // namespace

SecretText::SecretText() : text{} {}

SecretText::~SecretText() { SecureZeroMemory(text, sizeof text); }

PasswordLine ReadPasswordLine(FILE* in, bool interactive, FILE* prompt, SecretText& secret) {
  if (!interactive) return ReadLine(in, secret);
  HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  GetConsoleMode(console, &mode);
  fputs("Password: ", prompt);
  fflush(prompt);
  SetConsoleMode(console, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  PasswordLine result = ReadLine(in, secret);
  SetConsoleMode(console, mode);
  fputs("\n", prompt);
  return result;
}
