// Reading the password: a line of redirected standard input, in UTF-8 or in the ANSI code page,
// or wide characters typed at the console, brought to the ANSI code page that the logon dialogs
// read them in.
#include "tools/enroll/PasswordInput.h"

#include <cstring>

namespace {

// One line of a password as it came, wiped when it goes out of scope.
template <typename Character, size_t kCapacity>
struct SecretLine {
  Character text[kCapacity];
  size_t length;
  SecretLine() : text{}, length(0) {}
  ~SecretLine() { SecureZeroMemory(text, sizeof text); }
  SecretLine(const SecretLine&) = delete;
  SecretLine& operator=(const SecretLine&) = delete;
};

// As SecretText: the longest password, a carriage return and the terminator.
using SecretWideText = SecretLine<wchar_t, kMaxStoredTextLength + 2>;

// A line of redirected input, with room for the longest password in UTF-8 (at most three bytes
// for each byte of its ANSI form), a byte-order mark, a carriage return and the terminator.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kByteOrderMarkLength = sizeof kByteOrderMark - 1;
using SecretInputLine = SecretLine<char, kByteOrderMarkLength + 3 * kMaxStoredTextLength + 2>;

// Takes the characters of one console read into line, up to the line feed; false once the line
// feed has been seen.
bool TakeTypedCharacters(const wchar_t* chunk, DWORD count, SecretWideText& line, bool& overflow,
                         bool& zero) {
  const size_t capacity = sizeof line.text / sizeof line.text[0] - 1;
  for (DWORD i = 0; i < count; ++i) {
    if (chunk[i] == L'\n') return false;
    zero = zero || chunk[i] == L'\0';
    if (line.length == capacity) overflow = true;
    if (!overflow) line.text[line.length++] = chunk[i];
  }
  return true;
}

// One line typed at the console, without its line end. An overlong line is read to its end, so
// that none of it is taken as the next answer.
PasswordLine ReadConsoleLine(HANDLE console, SecretWideText& line) {
  bool overflow = false;
  bool zero = false;
  bool more = true;
  while (more) {
    wchar_t chunk[64];
    DWORD got = 0;
    // Nothing read means the read was interrupted (Ctrl+C) or the console went away.
    if (!ReadConsoleW(console, chunk, sizeof chunk / sizeof chunk[0], &got, nullptr) ||
        got == 0) {
      SecureZeroMemory(chunk, sizeof chunk);
      return PasswordLine::Missing;
    }
    more = TakeTypedCharacters(chunk, got, line, overflow, zero);
    SecureZeroMemory(chunk, sizeof chunk);
  }
  if (line.length > 0 && line.text[line.length - 1] == L'\r') --line.length;
  line.text[line.length] = L'\0';
  if (overflow || line.length > kMaxStoredTextLength) return PasswordLine::TooLong;
  return zero ? PasswordLine::ZeroByte : PasswordLine::Read;
}

// The typed line in the ANSI code page. Best-fit replacements are refused: a password stored
// as "a" for a typed "ā" is not the password that the user types into the logon dialog.
PasswordLine ToAnsiCodePage(const SecretWideText& typed, SecretText& secret) {
  secret.text[0] = '\0';
  if (typed.length == 0) return PasswordLine::Read;
  BOOL usedDefault = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, typed.text,
                                  static_cast<int>(typed.length), secret.text,
                                  static_cast<int>(kMaxStoredTextLength), nullptr, &usedDefault);
  if (bytes == 0) {
    bool tooLong = GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    SecureZeroMemory(secret.text, sizeof secret.text);
    return tooLong ? PasswordLine::TooLong : PasswordLine::NoAnsiForm;
  }
  secret.text[bytes] = '\0';
  if (usedDefault) {
    SecureZeroMemory(secret.text, sizeof secret.text);
    return PasswordLine::NoAnsiForm;
  }
  return PasswordLine::Read;
}

// One line of input, without its line end. The rest of an overlong line is read too, so none of
// it is left for another reader.
PasswordLine ReadInputLine(FILE* in, SecretInputLine& line) {
  const size_t capacity = sizeof line.text - 1;
  bool overflow = false;
  bool zeroByte = false;
  int c = fgetc(in);
  if (c == EOF) return PasswordLine::Missing;
  for (; c != EOF && c != '\n'; c = fgetc(in)) {
    zeroByte = zeroByte || c == 0;
    if (line.length == capacity) overflow = true;
    if (!overflow) line.text[line.length++] = static_cast<char>(c);
  }
  if (line.length > 0 && line.text[line.length - 1] == '\r') --line.length;
  line.text[line.length] = '\0';
  if (overflow) return PasswordLine::TooLong;
  // A zero byte would silently cut the password short.
  return zeroByte ? PasswordLine::ZeroByte : PasswordLine::Read;
}

// Most editors save text as UTF-8, which a line of plain ASCII also is; a line that is not UTF-8
// was written in the ANSI code page.
bool IsUtf8BeyondAscii(const SecretInputLine& line) {
  bool beyondAscii = false;
  for (size_t i = 0; i < line.length; ++i) beyondAscii = beyondAscii || (line.text[i] & 0x80);
  return beyondAscii && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.text,
                                            static_cast<int>(line.length), nullptr, 0) > 0;
}

// The UTF-8 line, without a byte-order mark, in the ANSI code page.
PasswordLine Utf8ToAnsiCodePage(const SecretInputLine& line, SecretText& secret) {
  size_t skip = strncmp(line.text, kByteOrderMark, kByteOrderMarkLength) == 0
                    ? kByteOrderMarkLength
                    : 0;
  SecretWideText wide;
  if (line.length > skip) {
    const int capacity = static_cast<int>(sizeof wide.text / sizeof wide.text[0] - 1);
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.text + skip,
                                    static_cast<int>(line.length - skip), wide.text, capacity);
    if (count == 0) return PasswordLine::TooLong;
    wide.length = static_cast<size_t>(count);
  }
  if (wide.length > kMaxStoredTextLength) return PasswordLine::TooLong;
  return ToAnsiCodePage(wide, secret);
}

bool SameLine(const SecretWideText& first, const SecretWideText& second) {
  return first.length == second.length &&
         memcmp(first.text, second.text, first.length * sizeof first.text[0]) == 0;
}

// The console whose echo is off while a password is typed, and its mode before.
HANDLE echoConsole = nullptr;
DWORD echoConsoleMode = 0;

// Runs on a thread of its own when Ctrl+C or Ctrl+Break ends the tool during the reading.
BOOL WINAPI RestoreEchoOnInterrupt(DWORD) {
  SetConsoleMode(echoConsole, echoConsoleMode);
  // Not handled: the default handler still ends the process.
  return FALSE;
}

PasswordLine AskLine(HANDLE console, FILE* prompt, const char* question, SecretWideText& line) {
  fputs(question, prompt);
  fflush(prompt);
  PasswordLine result = ReadConsoleLine(console, line);
  // The line feed was typed without echo.
  fputs("\n", prompt);
  fflush(prompt);
  return result;
}

}  // namespace

SecretText::SecretText() : text{} {}

SecretText::~SecretText() { SecureZeroMemory(text, sizeof text); }

PasswordLine ReadPasswordLine(FILE* in, SecretText& secret) {
  SecretInputLine line;
  PasswordLine result = ReadInputLine(in, line);
  if (result != PasswordLine::Read) return result;
  if (IsUtf8BeyondAscii(line)) return Utf8ToAnsiCodePage(line, secret);
  if (line.length > kMaxStoredTextLength) return PasswordLine::TooLong;
  memcpy(secret.text, line.text, line.length + 1);
  return PasswordLine::Read;
}

PasswordLine ReadTypedPassword(HANDLE console, FILE* prompt, SecretText& secret) {
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return PasswordLine::Missing;
  echoConsole = console;
  echoConsoleMode = mode;
  SetConsoleCtrlHandler(RestoreEchoOnInterrupt, TRUE);
  // Line input, so the console hands over whole lines; processed input, so that Ctrl+C
  // interrupts rather than becoming part of the password.
  SetConsoleMode(console, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                              ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  SecretWideText first;
  SecretWideText second;
  PasswordLine result = AskLine(console, prompt, "Password: ", first);
  if (result == PasswordLine::Read) result = AskLine(console, prompt, "Password again: ", second);
  SetConsoleMode(console, mode);
  SetConsoleCtrlHandler(RestoreEchoOnInterrupt, FALSE);
  if (result != PasswordLine::Read) return result;
  if (!SameLine(first, second)) return PasswordLine::Mismatch;
  return ToAnsiCodePage(first, secret);
}
