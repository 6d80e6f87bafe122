// The enrolment tool's command line: parsing, the commands and their messages.
#include "tools/enroll/EnrollTool.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "accounts/AccountChange.h"
#include "accounts/AccountStore.h"
#include "accounts/AccountWriting.h"
#include "tools/enroll/FingerCapture.h"
#include "tools/enroll/GinaInstall.h"
#include "tools/enroll/ModeNames.h"
#include "tools/enroll/PasswordInput.h"
#include "tools/enroll/StoreCheck.h"
#include "tools/enroll/ToolMessages.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  voduvo-enroll add USER --mode MODE --template1 FILE --template2 FILE\n"
    "                [--allow-empty-password]\n"
    "  voduvo-enroll add USER --mode MODE --finger [--reader-timeout SECONDS]\n"
    "                [--allow-empty-password]\n"
    "      Adds the account USER, or replaces it (and its name's letter case) whole. The two\n"
    "      templates come from the files, or with --finger from two placements of one finger\n"
    "      on a reader, through the fingerprint library beside the tool (the reader is awaited\n"
    "      for 30 seconds unless SECONDS says otherwise, each placement for 2 minutes). At a\n"
    "      console the password is then typed twice without echo; otherwise it is read as one\n"
    "      line from standard input. It is stored protected for this computer only.\n"
    "  voduvo-enroll mode USER MODE\n"
    "      Changes only the login mode of the account USER.\n"
    "  voduvo-enroll list\n"
    "      Lists the enrolled accounts, one a line: name, mode number, mode name.\n"
    "  voduvo-enroll remove USER\n"
    "      Removes the account USER.\n"
    "  voduvo-enroll check\n"
    "      Reports what the module will make of each account and of Winlogon's GinaDLL;\n"
    "      each problem on a line starting with PROBLEM:.\n"
    "  voduvo-enroll install [MODULE]\n"
    "      Makes MODULE (by default VoDUVO.dll beside the tool) Winlogon's GINA, keeping the\n"
    "      GinaDLL value it replaces for uninstall. MODULE must be a GINA DLL for this\n"
    "      processor on a local fixed drive, with papyl.dll beside it.\n"
    "  voduvo-enroll uninstall\n"
    "      Puts back the GinaDLL value that install replaced.\n"
    "  voduvo-enroll --help\n"
    "\n"
    "MODE is a number or a name:\n"
    "  0 not-authorized            may neither log on nor unlock\n"
    "  1 fingerprint-only          a fingerprint logs on; typing is refused\n"
    "  2 password-only             name and password are typed\n"
    "  3 fingerprint-or-password   either\n"
    "  4 fingerprint-and-password  a fingerprint and the typed password\n"
    "USER is the Windows user name without a domain (no \\ or @), at most 127 characters.\n"
    "The password is at most 127 characters in the ANSI code page and not empty unless\n"
    "--allow-empty-password is given. From standard input it is read as UTF-8 (a byte-order\n"
    "mark dropped) when the line is UTF-8 with a character beyond ASCII, otherwise as ANSI.\n"
    "Template files hold the fingerprint library's templates as extracted.\n"
    "A change that fails leaves the account (or GinaDLL) as it was.\n"
    "Exit status: 0 done, 1 bad arguments or input, 2 the operation failed (no reader or\n"
    "finger in time, install or uninstall refused), 3 check found problems.\n";

// Registry values are best kept small; no template comes near this.
constexpr size_t kMaxTemplateBytes = 1024 * 1024;

// Waits when enrolling by finger: for a reader (unless --reader-timeout says otherwise), and
// for each placement of the finger.
constexpr DWORD kDefaultReaderTimeoutSeconds = 30;
constexpr DWORD kMaxReaderTimeoutSeconds = 3600;
constexpr DWORD kFingerTimeoutMs = 120 * 1000;

const char* ChangeOutcome(bool restored) {
  return restored ? "The account is as it was."
                  : "The account could not be put back as it was: check it with "
                    "'voduvo-enroll list', then add or remove it again.";
}

// Why a user name cannot name an account's key, or null when it can.
const char* UserNameProblem(const char* name) {
  if (!*name) return "the user name is empty";
  if (strlen(name) > kMaxStoredTextLength) return "the user name is longer than 127 characters";
  if (strchr(name, '\\')) return "the user name contains a backslash";
  return nullptr;
}

// Why an account could not be enrolled under name, or null when it can. The logon takes a typed
// "alice@corp" as the account alice, so the mode of an account named with @ would never apply.
// Such a name can still be removed.
const char* EnrolledNameProblem(const char* name) {
  if (const char* problem = UserNameProblem(name)) return problem;
  if (strchr(name, '@')) {
    return "the user name contains @: the logon takes a typed name@domain as the account name "
           "alone, so an account enrolled with @ would never have its login mode applied";
  }
  return nullptr;
}

// The whole file, when it can be read, is not empty and is not too large; otherwise why not.
std::string ReadTemplateFile(const char* path, Bytes& bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return std::string("cannot open template file ") + path;
  BYTE chunk[4096];
  size_t got = 0;
  while (bytes.size() <= kMaxTemplateBytes && (got = fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return std::string("cannot read template file ") + path;
  if (bytes.empty()) return std::string("template file ") + path + " is empty";
  if (bytes.size() > kMaxTemplateBytes) {
    return std::string("template file ") + path + " is too large";
  }
  return std::string();
}

// Why the password cannot be stored, or an empty text when it can.
std::string PasswordProblem(PasswordLine line, bool typed) {
  switch (line) {
    case PasswordLine::Read: return std::string();
    case PasswordLine::Missing:
      return typed ? "no password typed" : "no password on standard input";
    case PasswordLine::TooLong: return "the password is longer than 127 characters";
    case PasswordLine::ZeroByte: return "the password contains a zero byte";
    case PasswordLine::Mismatch: return "the two passwords typed differ";
    case PasswordLine::NoAnsiForm:
      return "the password has characters that the ANSI code page " + std::to_string(GetACP()) +
             ", in which the logon dialogs read it, cannot hold";
  }
  return "the password cannot be read";
}

// The new password, from the console or from redirected input; gives the problem, or an empty
// text when it can be stored.
std::string ReadNewPassword(const ToolStreams& io, bool allowEmpty, SecretText& password) {
  bool typed = io.console != nullptr;
  PasswordLine line = typed ? ReadTypedPassword(io.console, io.err, password)
                            : ReadPasswordLine(io.in, password);
  std::string problem = PasswordProblem(line, typed);
  if (problem.empty() && !allowEmpty && password.text[0] == '\0') {
    problem = "the password is empty (give --allow-empty-password to store an empty one)";
  }
  return problem;
}

struct AddArguments {
  const char* user = nullptr;
  const char* mode = nullptr;
  const char* template1 = nullptr;
  const char* template2 = nullptr;
  const char* readerTimeout = nullptr;
  bool finger = false;
  bool allowEmptyPassword = false;
};

// The slot that an option with a value fills, or null for none.
const char** ValueSlot(const char* option, AddArguments& args) {
  if (strcmp(option, "--mode") == 0) return &args.mode;
  if (strcmp(option, "--template1") == 0) return &args.template1;
  if (strcmp(option, "--template2") == 0) return &args.template2;
  if (strcmp(option, "--reader-timeout") == 0) return &args.readerTimeout;
  return nullptr;
}

// Whether the arguments name one source of templates, files or a finger; gives the problem, or
// an empty text when they do.
std::string TemplateSourceProblem(const AddArguments& args) {
  if (args.finger && (args.template1 || args.template2)) {
    return "add: --finger and template files exclude each other";
  }
  if (args.readerTimeout && !args.finger) return "add: --reader-timeout goes with --finger";
  if (args.finger) return std::string();
  if (!args.template1) return "add: --template1 is missing";
  if (!args.template2) return "add: --template2 is missing";
  return std::string();
}

// Fills args from argv[2..]; gives the problem, or an empty text when they are complete.
std::string ParseAddArguments(int argc, const char* const argv[], AddArguments& args) {
  if (argc < 3 || argv[2][0] == '-') return "add: the user name is missing";
  args.user = argv[2];
  for (int i = 3; i < argc; ++i) {
    bool* flag = strcmp(argv[i], "--allow-empty-password") == 0 ? &args.allowEmptyPassword
                 : strcmp(argv[i], "--finger") == 0             ? &args.finger
                                                                : nullptr;
    if (flag) {
      *flag = true;
      continue;
    }
    const char** slot = ValueSlot(argv[i], args);
    if (!slot) return std::string("add: unknown argument ") + argv[i];
    if (*slot) return std::string("add: ") + argv[i] + " is given twice";
    if (i + 1 >= argc) return std::string("add: ") + argv[i] + " needs a value";
    *slot = argv[++i];
  }
  if (!args.mode) return "add: --mode is missing";
  return TemplateSourceProblem(args);
}

// The reader timeout in seconds, 1 to kMaxReaderTimeoutSeconds; 0 when text is not one.
DWORD ParseSeconds(const char* text) {
  DWORD seconds = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9' || seconds > kMaxReaderTimeoutSeconds) return 0;
    seconds = seconds * 10 + static_cast<DWORD>(*c - '0');
  }
  return seconds <= kMaxReaderTimeoutSeconds ? seconds : 0;
}

// The two templates from a finger on a reader. Returns an exit code; kExitOk when taken.
int CaptureTemplates(const AddArguments& args, const ToolStreams& io, Bytes& template1,
                     Bytes& template2) {
  DWORD seconds = kDefaultReaderTimeoutSeconds;
  if (args.readerTimeout) seconds = ParseSeconds(args.readerTimeout);
  if (seconds == 0) {
    return BadArguments(io, "add: --reader-timeout takes a number of seconds from 1 to " +
                                std::to_string(kMaxReaderTimeoutSeconds));
  }
  FingerCaptureSettings settings{ToolFolder(io), seconds * 1000, kFingerTimeoutMs};
  std::string problem = CaptureFingerTemplates(settings, io.err, template1, template2);
  if (problem.empty()) return kExitOk;
  return Failed(io, problem, ERROR_SUCCESS, "Nothing was written.");
}

// The two templates, from their files or from a finger. Returns an exit code; kExitOk when
// both are taken.
int TakeTemplates(const AddArguments& args, const ToolStreams& io, Bytes& template1,
                  Bytes& template2) {
  if (args.finger) return CaptureTemplates(args, io, template1, template2);
  std::string problem = ReadTemplateFile(args.template1, template1);
  if (problem.empty()) problem = ReadTemplateFile(args.template2, template2);
  return problem.empty() ? kExitOk : BadArguments(io, problem);
}

int WriteFailed(const ToolStreams& io, const char* keyName, LONG status, bool restored) {
  return Failed(io, std::string("cannot write account ") + keyName, status,
                ChangeOutcome(restored));
}

// The change was written but must be taken back: the module would not read what was meant.
int NotReadBack(const ToolStreams& io, const char* keyName, bool restored) {
  return Failed(io, std::string("account ") + keyName + " does not read back as written",
                ERROR_SUCCESS, ChangeOutcome(restored));
}

int Add(int argc, const char* const argv[], const ToolStreams& io) {
  AddArguments args;
  std::string problem = ParseAddArguments(argc, argv, args);
  if (!problem.empty()) return BadArguments(io, problem);
  if (const char* nameProblem = EnrolledNameProblem(args.user)) {
    return BadArguments(io, nameProblem);
  }
  LoginMode mode = NotAuthorized;
  if (!ParseMode(args.mode, &mode)) {
    return BadArguments(io, std::string("add: unknown login mode ") + args.mode);
  }
  Bytes template1, template2;
  int taken = TakeTemplates(args, io, template1, template2);
  if (taken != kExitOk) return taken;

  SecretText password;
  problem = ReadNewPassword(io, args.allowEmptyPassword, password);
  if (!problem.empty()) return BadArguments(io, problem);
  Bytes blob;
  if (!ProtectPassword(password.text, blob)) return Failed(io, "cannot protect the password");

  AccountSnapshot before;
  LONG status = TakeAccountSnapshot(args.user, before);
  if (status != ERROR_SUCCESS) {
    return Failed(io, std::string("cannot read account ") + args.user + " as it is", status);
  }
  StoredValues values = AccountValues(mode, template1, template2, blob);
  bool restored = true;
  status = ChangeAccount(args.user, values, before, &restored);
  if (status != ERROR_SUCCESS) return WriteFailed(io, args.user, status, restored);
  if (!AccountReadsBack(args.user, mode, template1, template2, password.text)) {
    return NotReadBack(io, args.user, RestoreAccount(args.user, values, before));
  }
  std::string formerName =
      Renames(args.user, before) ? " (was " + before.keyName + ")" : "";
  fprintf(io.out, "%s account %s%s, mode %u (%s)\n", before.existed ? "Replaced" : "Added",
          args.user, formerName.c_str(), static_cast<unsigned>(mode), NameOfMode(mode));
  return kExitOk;
}

int ChangeMode(int argc, const char* const argv[], const ToolStreams& io) {
  if (argc != 4) return BadArguments(io, "mode takes a user name and a mode");
  const char* user = argv[2];
  if (const char* nameProblem = EnrolledNameProblem(user)) return BadArguments(io, nameProblem);
  LoginMode mode = NotAuthorized;
  if (!ParseMode(argv[3], &mode)) {
    return BadArguments(io, std::string("mode: unknown login mode ") + argv[3]);
  }
  AccountSnapshot before;
  LONG status = TakeAccountSnapshot(user, before);
  if (status != ERROR_SUCCESS) {
    return Failed(io, std::string("cannot read account ") + user + " as it is", status);
  }
  if (!before.existed) return Failed(io, std::string("no account named ") + user);
  // The key keeps its own name: only the mode changes.
  const char* keyName = before.keyName.c_str();
  StoredValues values{LoginValue(mode)};
  bool restored = true;
  status = ChangeAccount(keyName, values, before, &restored);
  if (status != ERROR_SUCCESS) return WriteFailed(io, keyName, status, restored);
  LoginMode stored = NotAuthorized;
  if (ReadLoginMode(keyName, &stored) != StoreOk || stored != mode) {
    return NotReadBack(io, keyName, RestoreAccount(keyName, values, before));
  }
  fprintf(io.out, "Changed account %s to mode %u (%s)\n", keyName, static_cast<unsigned>(mode),
          NameOfMode(mode));
  return kExitOk;
}

int List(int argc, const ToolStreams& io) {
  if (argc > 2) return BadArguments(io, "list takes no arguments");
  if (!KeyExists(kStoreParentPath, kStoreKeyName)) return kExitOk;
  char** names = nullptr;
  int32_t count = 0;
  int result = EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count);
  if (result != StoreOk) {
    return Failed(io, "cannot list the accounts (code " + std::to_string(result) + ")");
  }
  for (int32_t i = 0; i < count; ++i) {
    LoginMode mode = NotAuthorized;
    int read = ReadLoginMode(names[i], &mode);
    if (read == StoreOk) {
      fprintf(io.out, "%s\t%u\t%s\n", names[i], static_cast<unsigned>(mode), NameOfMode(mode));
    } else {
      fprintf(io.out, "%s\t-\tunreadable (code %d)\n", names[i], read);
    }
  }
  ReleaseSubkeyNames(names, count);
  return kExitOk;
}

int Remove(int argc, const char* const argv[], const ToolStreams& io) {
  if (argc != 3) return BadArguments(io, "remove takes exactly one user name");
  const char* user = argv[2];
  if (const char* nameProblem = UserNameProblem(user)) return BadArguments(io, nameProblem);
  if (!KeyExists(kStorePath, user)) return Failed(io, std::string("no account named ") + user);
  LONG status = RemoveAccount(user);
  if (status != ERROR_SUCCESS) {
    return Failed(io, std::string("cannot remove account ") + user, status);
  }
  fprintf(io.out, "Removed account %s\n", user);
  return kExitOk;
}

bool IsHelp(const char* argument) {
  return strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0 ||
         strcmp(argument, "help") == 0;
}

}  // namespace

int RunEnrollTool(int argc, const char* const argv[], const ToolStreams& io) {
  if (argc < 2) return BadArguments(io, "a command is missing");
  const char* command = argv[1];
  // Help also when asked of a command, as in "add --help".
  if (IsHelp(command) || (argc > 2 && IsHelp(argv[2]))) {
    fputs(kUsage, io.out);
    return kExitOk;
  }
  if (strcmp(command, "add") == 0) return Add(argc, argv, io);
  if (strcmp(command, "mode") == 0) return ChangeMode(argc, argv, io);
  if (strcmp(command, "list") == 0) return List(argc, io);
  if (strcmp(command, "remove") == 0) return Remove(argc, argv, io);
  if (strcmp(command, "check") == 0) return CheckInstallation(argc, io);
  if (strcmp(command, "install") == 0) return InstallModule(argc, argv, io);
  if (strcmp(command, "uninstall") == 0) return UninstallModule(argc, io);
  return BadArguments(io, std::string("unknown command ") + command);
}
