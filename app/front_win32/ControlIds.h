// The identifiers of the windows' controls and of the open dialog's panel template, shared by
// the program, its resource script and the tests that drive it.
#pragma once

// Window classes.
#define BRELKA_MAIN_CLASS L"TMainWin"
#define BRELKA_PANEL_CLASS L"TGetWin"

// The main window's controls.
#define IDC_SRCEDIT 1101
#define IDC_SAMPLELIST 1102
#define IDC_AUDBTN 1103
#define IDC_LENLABEL 1104
#define IDC_IMPORTRADIO 1105
#define IDC_RATECONVCHECK 1106
#define IDC_CONVGROUP 1107
#define IDC_RSSIMPLE 1108
#define IDC_RSLIGHT 1109
#define IDC_RSMEDIUM 1110
#define IDC_RSHEAVY 1111
#define IDC_RSUHEAVY 1112
#define IDC_INFOTEXT 1113
#define IDC_TOEXECBTN 1114
#define IDC_FROMEXECBTN 1115
#define IDC_ABORTBTN 1116
#define IDC_IMAGE 1117
#define IDC_LABEL1 1118
#define IDC_GAUGE 1119
#define IDC_IMPORT_L 1120
#define IDC_IMPORT_R 1121
#define IDC_IMPORT_MIX 1122

// The preview panel's controls.
#define IDC_PANEL_BEVEL1 2001
#define IDC_PANEL_FSLABEL 2002
#define IDC_PANEL_FRAMESLABEL 2003
#define IDC_PANEL_BITLABEL 2004
#define IDC_PANEL_AUDBTN 2005
// Where the open dialog lays the panel out, in its template.
#define IDC_PANEL_PLACE 2010

// The program's icon (the first, which the system shows for the file).
#define IDI_BRELKA 1

// The open dialog's template that hosts the preview panel.
#define IDD_OPEN_PANEL 100
