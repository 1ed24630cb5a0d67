// The identifiers of the windows' controls and of the open dialog's panel template, shared by
// the program, its resource script and the tests that drive it.
#pragma once

// Window classes.
#define BRELKA_MAIN_CLASS L"TMainWin"
#define BRELKA_PANEL_CLASS L"TGetWin"
#define BRELKA_CARD_CLASS L"TCardWin"

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

// The card view's controls.
#define IDC_CARD_LIST 3001
#define IDC_CARD_STATUS 3002
#define IDC_CARD_FOLDER 3003
#define IDC_CARD_FOLDERBTN 3004
#define IDC_CARD_PROGRESSTEXT 3005
#define IDC_CARD_PROGRESS 3006
#define IDC_CARD_ABORT 3007
#define IDC_CARD_RENAME 3008

// The "Import Options" dialog's controls.
#define IDC_OPT_TRIM 3101
#define IDC_OPT_TRIMDB 3102
#define IDC_OPT_KEEP 3103
#define IDC_OPT_EACH 3104
#define IDC_OPT_KIT 3105
#define IDC_OPT_NORMALIZEDB 3106
#define IDC_OPT_FADEIN 3107
#define IDC_OPT_FADEINMS 3108
#define IDC_OPT_FADEOUT 3109
#define IDC_OPT_FADEOUTMS 3110
#define IDC_OPT_DITHER 3111
#define IDC_OPT_NOTE 3112

// The commands of the "Card" menu (the first plus the item's number) and of the card view's
// context menu (the first plus the command's place in its menu).
#define IDM_CARD_FIRST 40001
#define IDM_ROW_FIRST 40101

// A registered message both windows answer with the state of an item of their "Card" menu
// (wParam: the item's number): its whole text as a global atom in the low word (the asker
// deletes it), 1 in the high word while it can be chosen. What the menu shows can be read from
// another process this way, also where that process cannot read the menu itself.
#define BRELKA_MENU_QUERY L"brelka.CardMenuItemState"

// The program's icon (the first, which the system shows for the file).
#define IDI_BRELKA 1

// The open dialog's template that hosts the preview panel.
#define IDD_OPEN_PANEL 100
