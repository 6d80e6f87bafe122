// check: reads the store with the module's own store code, as identification and the logon
// policy will, and reports in the module's terms what each finding means.
#include "tools/enroll/StoreCheck.h"

#include <cstring>
#include <string>

#include "accounts/AccountStore.h"
#include "tools/enroll/EventSource.h"
#include "tools/enroll/GinaRegistry.h"
#include "tools/enroll/ModuleFile.h"
#include "tools/enroll/ModeNames.h"
#include "tools/enroll/ToolMessages.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

int Problem(const ToolStreams& io, const std::string& text) {
  fprintf(io.out, "PROBLEM: %s\n", text.c_str());
  return 1;
}

std::string ModeFinding(const char* user, int* problems, const ToolStreams& io) {
  LoginMode mode = NotAuthorized;
  int read = ReadLoginMode(user, &mode);
  if (read == StoreOk) {
    return "mode " + std::to_string(static_cast<unsigned>(mode)) + " (" + NameOfMode(mode) + ")";
  }
  *problems +=
      Problem(io, std::string("account ") + user + ": its login mode cannot be read (code " +
                      std::to_string(read) + "); the logon treats it as password-only.");
  return "mode unreadable";
}

std::string TemplateFinding(const char* user, int number, int* problems, const ToolStreams& io) {
  TemplateBuffer* record = nullptr;
  int read = ReadTemplate(user, &record, number);
  int32_t size = read == StoreOk ? record->size : 0;
  ReleaseTemplate(record);
  std::string name = "Template" + std::to_string(number);
  if (read != StoreOk) {
    // Identification reads both templates of every account and stops at the first it cannot.
    *problems += Problem(io, std::string("account ") + user + ": " + name +
                                 " is missing or unreadable. While this account is enrolled, " +
                                 "every fingerprint identification fails: nobody can log on " +
                                 "by fingerprint. Enrol it again or remove it.");
    return name + " unreadable";
  }
  if (size == 0) {
    *problems += Problem(io, std::string("account ") + user + ": " + name +
                                 " is empty: this account's finger is never recognised. " +
                                 "Enrol it again.");
    return name + " empty";
  }
  return name + " readable";
}

std::string PasswordFinding(const char* user, int* problems, const ToolStreams& io) {
  BYTE* blob = nullptr;
  DWORD size = 0;
  bool stored = ReadBinaryValue(kStorePath, user, kPasswordValue, &blob, &size) == StoreOk;
  char* password = nullptr;
  bool readable = stored && UnprotectPassword(blob, size, &password) == StoreOk;
  ReleasePassword(password);
  delete[] blob;
  if (readable) return "password readable";
  // Without its password a matched account is taken as no match.
  std::string why = stored ? "its password cannot be unprotected on this computer (enrolled on "
                             "another one, or damaged)"
                           : "it has no password";
  *problems += Problem(io, std::string("account ") + user + ": " + why +
                               ": its finger never logs it on. Enrol it again on this computer.");
  return stored ? "password not unprotectable here" : "password missing";
}

// The logon policy takes a typed "alice@corp" or "CORP\alice" as the account alice: a key
// named with either is never the account that a typed name is looked up as.
int NameFinding(const char* user, const ToolStreams& io) {
  if (!strchr(user, '@') && !strchr(user, '\\')) return 0;
  return Problem(io, std::string("account ") + user + ": the logon reads a typed name with @ or " +
                         "\\ as the account name alone (alice@corp and CORP\\alice as alice), so " +
                         "this account's login mode never applies to a name typed at logon. " +
                         "Remove it and enrol the name without its domain.");
}

// One account's line, after its problems.
int CheckAccount(const char* user, const ToolStreams& io) {
  int problems = NameFinding(user, io);
  std::string mode = ModeFinding(user, &problems, io);
  std::string first = TemplateFinding(user, 1, &problems, io);
  std::string second = TemplateFinding(user, 2, &problems, io);
  std::string password = PasswordFinding(user, &problems, io);
  fprintf(io.out, "Account %s: %s, %s, %s, %s\n", user, mode.c_str(), first.c_str(), second.c_str(),
          password.c_str());
  return problems;
}

int CheckAccounts(const ToolStreams& io) {
  char** names = nullptr;
  int32_t count = 0;
  int listed = KeyExists(kStoreParentPath, kStoreKeyName)
                   ? EnumerateSubkeys(kStoreParentPath, kStoreKeyName, &names, &count)
                   : StoreOk;
  if (listed != StoreOk) {
    return Problem(io, "the accounts cannot be listed (code " + std::to_string(listed) +
                           "): every fingerprint identification fails.");
  }
  if (count == 0) fputs("No accounts are enrolled.\n", io.out);
  int problems = 0;
  for (int32_t i = 0; i < count; ++i) problems += CheckAccount(names[i], io);
  ReleaseSubkeyNames(names, count);
  return problems;
}

// The module finds its folder, and the fingerprint library in it, through GinaDLL.
int CheckGinaDll(const ToolStreams& io) {
  RegistryValue gina;
  LONG status = ReadRegistryValue(kWinlogonKey, kGinaDllValue, gina);
  if (status != ERROR_SUCCESS) {
    return Problem(io, "GinaDLL cannot be read: " + SystemReason(status));
  }
  fprintf(io.out, "GinaDLL: %s\n", DescribeValue(gina).c_str());
  std::string module = ValueText(gina);
  if (!gina.present) {
    return Problem(io,
                   "GinaDLL is not set: Winlogon loads its own MSGINA.DLL, not the module. "
                   "Run 'voduvo-enroll install'.");
  }
  if (!IsFullFilePath(module)) {
    return Problem(io,
                   "GinaDLL does not name the module by a full path (X:\\folder\\file or "
                   "\\\\server\\share\\file): the module cannot find its folder, and "
                   "fingerprint logon is off.");
  }
  std::string unloadable = ModuleLoadProblem(module);
  if (!unloadable.empty()) {
    return Problem(io, "GinaDLL names " + module + ", which " + unloadable +
                           ": Winlogon cannot load it, and nobody can log on.");
  }
  std::string library = JoinPath(FolderOf(module), kFingerprintLibraryFile);
  if (!FileIsThere(library)) {
    return Problem(io, std::string("the fingerprint library ") + kFingerprintLibraryFile +
                           " is not in " + FolderOf(module) + ", beside the module: fingerprint " +
                           "logon is off.");
  }
  fprintf(io.out, "Fingerprint library: %s\n", library.c_str());
  return 0;
}

}  // namespace

int CheckInstallation(int argc, const ToolStreams& io) {
  if (argc > 2) return BadArguments(io, "check takes no arguments");
  int problems = CheckAccounts(io) + CheckGinaDll(io);
  ShowEventSource(io);
  if (problems == 0) {
    fputs("All is well.\n", io.out);
    return kExitOk;
  }
  fprintf(io.out, "%d problem%s found.\n", problems, problems == 1 ? "" : "s");
  return kExitProblems;
}
