// Winlogon's GinaDLL value, which names the GINA that Winlogon loads, and the record that
// `install` keeps of it so that `uninstall` can put it back exactly: its type and bytes, or
// its absence.
#pragma once

#include <windows.h>

#include <string>

#include "accounts/RegistryValues.h"
#include "accounts/WinlogonKey.h"

// The install record: the module that install set as GinaDLL, and GinaDLL as it was before the
// first install (no such value when there was none).
constexpr char kInstallRecordPath[] = "SOFTWARE\\VoDUVO";
constexpr char kInstalledValue[] = "InstalledGinaDLL";
constexpr char kPreviousValue[] = "PreviousGinaDLL";

// A REG_SZ value holding text and its terminator.
RegistryValue TextValue(const std::string& text);

// The value's bytes up to the first zero byte, as text.
std::string ValueText(const RegistryValue& value);

// How a message names the value: its text for a string value, its type otherwise.
std::string DescribeValue(const RegistryValue& value);

// Whether two values hold the same text, in any letter case (as paths compare).
bool SameText(const RegistryValue& first, const RegistryValue& second);

// What install and uninstall change, as a whole.
struct Installation {
  RegistryValue ginaDll;  // Winlogon's GinaDLL
  bool recordExists = false;
  RegistryValue installed;  // the record's InstalledGinaDLL
  RegistryValue previous;   // the record's PreviousGinaDLL
};

LONG ReadInstallation(Installation& state);

// Brings the registry to target. With a record in target (install) the record is written
// before GinaDLL; without (uninstall), GinaDLL is written first and the record's values go
// after it, and the record's key too when nothing else is left in it. Either way a failure
// between the two leaves a record that still describes GinaDLL. Returns a Win32 error code.
LONG ApplyInstallation(const Installation& target);
