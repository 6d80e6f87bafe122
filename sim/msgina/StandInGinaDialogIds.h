// The stand-in system GINA's dialog templates and controls. Plain macros: the resource script
// includes this file too. The logon, security options and unlock identifiers are those of the
// system GINA generation the module targets; the lock and log-off buttons are the stand-in's own.
#pragma once

#define SIM_GINA_LOGON_DIALOG 1500
#define SIM_GINA_LOGON_NAME 1502
#define SIM_GINA_LOGON_PASSWORD 1503

#define SIM_GINA_SECURITY_OPTIONS_DIALOG 1800
#define SIM_GINA_LOCK_BUTTON 1801
#define SIM_GINA_LOGOFF_BUTTON 1802
#define SIM_GINA_CHANGE_PASSWORD_BUTTON 1803

#define SIM_GINA_UNLOCK_DIALOG 1950
#define SIM_GINA_UNLOCK_NAME 1953
#define SIM_GINA_UNLOCK_PASSWORD 1954
