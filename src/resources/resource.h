// Identifiers of the module's resources and of the settings dialog's controls.
#pragma once

#define IDD_SETTINGS 1000
#define IDB_PREVIEW 1001

#define IDC_PREVIEW 100
#define IDC_MUTE 101
#define IDC_SOUNDGROUP 102
#define IDC_ALWAYS 103
#define IDC_ONCE 104
#define IDC_NEVER 105
