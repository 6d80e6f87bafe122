// Installing the module as Winlogon's GINA. Nothing changes unless the module and the
// fingerprint library are where the module will look for them, and the GinaDLL value from
// before the first install is kept however often install runs, so that uninstall puts exactly
// that back. A change that fails part-way is undone.
#include "tools/enroll/GinaInstall.h"

#include <string>

#include "tools/enroll/EventSource.h"
#include "tools/enroll/GinaRegistry.h"
#include "tools/enroll/ModuleFile.h"
#include "tools/enroll/ToolMessages.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

const char kNothingChanged[] = "Nothing was changed.";

// The module's path as given, or VoDUVO.dll in the tool's folder; empty when neither is known.
std::string ModuleToInstall(int argc, const char* const argv[], const ToolStreams& io) {
  if (argc == 3) return argv[2];
  std::string folder = ToolFolder(io);
  return folder.empty() ? folder : JoinPath(folder, kModuleFile);
}

// Why the module cannot be installed from path, or an empty text when it can.
std::string ModulePlaceProblem(const std::string& path) {
  if (!IsFullFilePath(path)) return path + " is not a full path to the module";
  std::string unloadable = ModuleLoadProblem(path);
  if (!unloadable.empty()) {
    return "the module " + path + " " + unloadable + ": Winlogon could not load it at boot";
  }
  std::string folder = FolderOf(path);
  if (!FileIsThere(JoinPath(folder, kFingerprintLibraryFile))) {
    return std::string("the fingerprint library ") + kFingerprintLibraryFile + " is not in " +
           folder + ", beside the module, where the module loads it from";
  }
  return std::string();
}

std::string WhatUninstallDoes(const RegistryValue& previous) {
  if (!previous.present) return "uninstall removes GinaDLL again (Winlogon's own MSGINA.DLL)";
  return "uninstall sets GinaDLL back to " + DescribeValue(previous);
}

std::string WhatUninstallDid(const RegistryValue& previous) {
  if (!previous.present) return "GinaDLL is not set again (Winlogon's own MSGINA.DLL)";
  return "GinaDLL is " + DescribeValue(previous) + " again";
}

// Another GINA was set after ours: taking it out or writing over it would lose that one's
// own way back.
std::string ForeignGinaProblem(const Installation& now) {
  return "GinaDLL is now " + DescribeValue(now.ginaDll) + ", not the module that install set (" +
         ValueText(now.installed) + "): another GINA was installed over it since. Uninstall " +
         "that one first";
}

int ChangeFailed(const ToolStreams& io, const char* command, const Installation& before,
                 LONG status) {
  // Writing back what was read a moment ago.
  bool restored = ApplyInstallation(before) == ERROR_SUCCESS;
  return Failed(io, std::string(command) + ": cannot change the registry", status,
                restored ? kNothingChanged
                         : "The registry could not be put back as it was: see "
                           "'voduvo-enroll check'.");
}

int RestartNote(const ToolStreams& io) {
  fputs("Restart the computer for Winlogon to take the change.\n", io.out);
  return kExitOk;
}

}  // namespace

int InstallModule(int argc, const char* const argv[], const ToolStreams& io) {
  if (argc > 3) return BadArguments(io, "install takes at most the module's path");
  std::string given = ModuleToInstall(argc, argv, io);
  if (given.empty()) return BadArguments(io, "install: give the module's path");
  std::string module = FullPathOf(given);
  std::string problem = ModulePlaceProblem(module.empty() ? given : module);
  if (!problem.empty()) return Failed(io, "install: " + problem, ERROR_SUCCESS, kNothingChanged);
  Installation before;
  LONG status = ReadInstallation(before);
  if (status != ERROR_SUCCESS) return Failed(io, "install: cannot read GinaDLL", status);
  if (before.installed.present && !SameText(before.ginaDll, before.installed)) {
    return Failed(io, "install: " + ForeignGinaProblem(before), ERROR_SUCCESS, kNothingChanged);
  }
  Installation target;
  target.ginaDll = TextValue(module);
  target.recordExists = true;
  target.installed = target.ginaDll;
  // Installed already: the record keeps GinaDLL from before the first install.
  target.previous = before.installed.present ? before.previous : before.ginaDll;
  status = ApplyInstallation(target);
  if (status != ERROR_SUCCESS) return ChangeFailed(io, "install", before, status);
  InstallEventSource(module, io);
  fprintf(io.out, "Installed %s as Winlogon's GINA; %s.\n", module.c_str(),
          WhatUninstallDoes(target.previous).c_str());
  return RestartNote(io);
}

int UninstallModule(int argc, const ToolStreams& io) {
  if (argc > 2) return BadArguments(io, "uninstall takes no arguments");
  Installation before;
  LONG status = ReadInstallation(before);
  if (status != ERROR_SUCCESS) return Failed(io, "uninstall: cannot read GinaDLL", status);
  if (!before.installed.present) {
    return Failed(io,
                  std::string("uninstall: install has not set GinaDLL (HKEY_LOCAL_MACHINE\\") +
                      kInstallRecordPath + " holds no " + kInstalledValue + ")",
                  ERROR_SUCCESS, kNothingChanged);
  }
  if (!SameText(before.ginaDll, before.installed)) {
    return Failed(io, "uninstall: " + ForeignGinaProblem(before), ERROR_SUCCESS, kNothingChanged);
  }
  Installation target;
  target.ginaDll = before.previous;
  status = ApplyInstallation(target);
  if (status != ERROR_SUCCESS) return ChangeFailed(io, "uninstall", before, status);
  UninstallEventSource(io);
  fprintf(io.out, "Uninstalled %s; %s.\n", ValueText(before.installed).c_str(),
          WhatUninstallDid(before.previous).c_str());
  return RestartNote(io);
}
