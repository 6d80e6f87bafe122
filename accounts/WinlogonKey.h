// Winlogon's key under HKEY_LOCAL_MACHINE. Its GinaDLL value names the GINA that Winlogon loads
// (the module, once installed, which finds its own folder through it); the account store is a
// key below it (accounts/StoreFormat.h).
#pragma once

// The parts as literals, so that the paths below the key are joined when compiling.
#define VODUVO_WINLOGON_PARENT_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
#define VODUVO_WINLOGON_KEY_NAME "Winlogon"
#define VODUVO_WINLOGON_KEY VODUVO_WINLOGON_PARENT_KEY "\\" VODUVO_WINLOGON_KEY_NAME

// As one path, and as parent and name for the primitives that take base and sub.
constexpr char kWinlogonKey[] = VODUVO_WINLOGON_KEY;
constexpr char kWinlogonParentKey[] = VODUVO_WINLOGON_PARENT_KEY;
constexpr char kWinlogonKeyName[] = VODUVO_WINLOGON_KEY_NAME;

constexpr char kGinaDllValue[] = "GinaDLL";
