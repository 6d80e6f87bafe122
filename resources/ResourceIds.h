// Numbers of the module's resources and of the controls in its notice dialogs. Plain macros,
// because the resource compiler reads this file too.
#pragma once

// Notice dialogs, in English (United States) and Portuguese (Brazil).
#define IDD_SAS_NOTICE 103     // shown while the workstation waits for Ctrl-Alt-Del
#define IDD_LOCKED_NOTICE 104  // shown while the workstation is locked

// Controls of the notice dialogs.
#define IDC_IN_USE 1002        // 104 only: "in use" line
#define IDC_UNLOCK_BY 1003     // 104 only: who may unlock
#define IDC_CTRL_ALT_DEL 1004  // second fingerprint line
#define IDC_FINGERPRINT 1005   // first fingerprint line
#define IDC_PICTURE 1006       // picture, shown with STM_SETIMAGE
#define IDC_HIDDEN_ICON 1007   // 104 only: never shown

// Icon of the hidden control 1007 (language-neutral).
#define IDI_NOTICE 106

// Pictures, 150 x 150, stored once and shared by both languages: ready and waiting per edition
// of the fingerprint library.
#define IDB_READY_EDITION2 109
#define IDB_READY_EDITION1 110
#define IDB_WAITING_EDITION2 112
#define IDB_WAITING_EDITION1 113
