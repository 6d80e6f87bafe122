// The system GINA's dialogs that the module steps into, and their controls, by the ids the
// system GINA gives them.
#pragma once

#include <windows.h>

// Dialog templates.
constexpr UINT_PTR kLogonDialogId = 1500;
constexpr UINT_PTR kSecurityOptionsDialogId = 1800;
constexpr UINT_PTR kUnlockDialogId = 1950;

// Controls.
constexpr int kLogonNameEdit = 1502;
constexpr int kLogonPasswordEdit = 1503;
constexpr WORD kChangePasswordButton = 1803;
constexpr int kUnlockNameEdit = 1953;
constexpr int kUnlockPasswordEdit = 1954;
