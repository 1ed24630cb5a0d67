// The identifiers of the windows' controls and of the open dialog's panel template, shared by
// the program, its resource script and the tests that drive it.
#pragma once

// Window classes.
#define BRELKA_MAIN_CLASS L"TMainWin"
#define BRELKA_PANEL_CLASS L"TGetWin"

// The main window's controls.
#define IDC_SRCEDIT 1001
#define IDC_SAMPLELIST 1002
#define IDC_AUDBTN 1003
#define IDC_LENLABEL 1004
#define IDC_IMPORTRADIO 1005
#define IDC_RATECONVCHECK 1006
#define IDC_CONVGROUP 1007
#define IDC_RSSIMPLE 1008
#define IDC_RSLIGHT 1009
#define IDC_RSMEDIUM 1010
#define IDC_RSHEAVY 1011
#define IDC_RSUHEAVY 1012
#define IDC_INFOTEXT 1013
#define IDC_TOEXECBTN 1014
#define IDC_FROMEXECBTN 1015
#define IDC_ABORTBTN 1016
#define IDC_IMAGE 1017
#define IDC_LABEL1 1018
#define IDC_GAUGE 1019
#define IDC_IMPORT_L 1020
#define IDC_IMPORT_R 1021
#define IDC_IMPORT_MIX 1022

// The preview panel's controls.
#define IDC_PANEL_BEVEL1 2001
#define IDC_PANEL_FSLABEL 2002
#define IDC_PANEL_FRAMESLABEL 2003
#define IDC_PANEL_BITLABEL 2004
#define IDC_PANEL_AUDBTN 2005

// The open dialog's template that hosts the preview panel.
#define IDD_OPEN_PANEL 100
