// The texts users see, in English and Brazilian Portuguese (Windows-1252 bytes), and the one call
// that gives a message in the language chosen at start-up.
#pragma once

// Message numbers. Numbers missing from the list (1, 2, 7, 8) hold no text.
enum MessageId : int {
  MsgFingerprintCaption = 0,
  MsgLibraryInitFailed = 3,
  MsgCaptureInitFailed = 4,
  MsgSensorUnplugged = 5,
  MsgFingerprintNotFound = 6,
  MsgLogonCaption = 9,
  MsgLogonNotAuthorized = 10,
  MsgLogonFingerprintOnly = 11,
  MsgLogonPasswordOnly = 12,
  MsgLogonFingerprintAndPassword = 13,
  MsgLogonMismatch = 14,
  MsgChangePasswordCaption = 15,
  MsgChangePasswordRefused = 16,
  MsgUnlockCaption = 17,
  MsgUnlockNotAuthorized = 18,
  MsgUnlockFingerprintOnly = 19,
  MsgUnlockPasswordOnly = 20,
  MsgUnlockFingerprintAndPassword = 21,
  MsgUnlockMismatch = 22,
  MsgLockedInUse = 23,
  MsgLockedUnlockByStart = 24,  // ends with a blank: the user name follows
  MsgLockedUnlockByEnd = 25,    // begins with a blank: it follows the user name
  MsgWaitingForSensor = 26,
  MsgPressCtrlAltDel = 27,
  MsgTouchSensor = 28,
  MsgOrPressCtrlAltDel = 29,
};

// Messages per language; the catalogue holds one block of them per language.
constexpr int kMessageCount = 30;
// Where each language's block starts: the values `languageBase` takes.
constexpr int kEnglishBase = 0;
constexpr int kPortugueseBase = 30;

// The block of the language chosen at start-up (SelectMessageLanguage); English until then.
extern int languageBase;

// Entries 0-29 English, 30-59 Portuguese (Brazil), same order in both.
extern const char* const MessageCatalogue[2 * kMessageCount];

// The text of a message in the current language (languageBase). The text is constant
// and lives as long as the module: callers neither copy nor release it. Never null.
const char* MessageText(MessageId id);
