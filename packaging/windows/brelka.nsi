; The Windows installer brelka-<version>-setup.exe, made by makensis from the files of the
; Windows archive (scripts/package-windows.sh):
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder of the files> -DICON=<brelka.ico>
;            -DOUTFILE=<setup.exe> brelka.nsi
; It installs for the current user without administrator rights (into the user's programs
; folder, %LOCALAPPDATA%\Programs\brelka), or for every user of the PC (Program Files, as
; administrator). It makes a Start-menu entry for the window, puts brelka-cli on the PATH only
; when asked, and enters itself in "Installed apps" with an uninstaller that removes every file,
; shortcut and registry value it made.
; Silent forms: setup.exe /S [/ALLUSERS] [/PATH] [/D=<folder>]; uninstall.exe /S.

; A 64-bit installer for the 64-bit programs (it runs wherever they do).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh
!include nsDialogs.nsh
!include x64.nsh

!define PRODUCT "brelka"
!define PUBLISHER "the brelka developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\brelka"
!define USER_ENVIRONMENT "Environment"
!define SYSTEM_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}.0"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\brelka.exe"

Var AllUsers     ; 1: for every user of the PC
Var AddToPath    ; 1: brelka-cli on the PATH
Var DefaultDir   ; the folder offered for the current user
Var ModeMe
Var ModeEveryone

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
Page custom InstallModePage InstallModeLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; For every user: the machine's folders, Start menu and registry.
Function UseAllUsers
  StrCpy $AllUsers 1
  SetShellVarContext all
  ${If} $INSTDIR == $DefaultDir
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  StrCpy $DefaultDir $INSTDIR
  StrCpy $AllUsers 0
  StrCpy $AddToPath 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    SectionSetFlags 1 ${SF_SELECTED} ; the PATH section, the second
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_ICONSTOP "Installing for every user needs administrator rights." /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    Call UseAllUsers
  ${EndIf}
FunctionEnd

Function InstallModePage
  ${If} $AllUsers == 1
    Abort ; chosen on the command line
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Installation for" "Who will use ${PRODUCT} on this PC?"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "Only for me (no administrator rights needed)"
  Pop $ModeMe
  ${NSD_CreateRadioButton} 0 30u 100% 12u "For everyone who uses this PC (administrator rights needed)"
  Pop $ModeEveryone
  ${NSD_Check} $ModeMe
  nsDialogs::Show
FunctionEnd

Function InstallModeLeave
  ${NSD_GetState} $ModeEveryone $0
  ${If} $0 != ${BST_CHECKED}
    Return
  ${EndIf}
  UserInfo::GetAccountType
  Pop $1
  ${If} $1 == "Admin"
    Call UseAllUsers
    Return
  ${EndIf}
  ; Again with the rights it needs: the system asks for them.
  ExecShell "runas" "$EXEPATH" "/ALLUSERS"
  Quit
FunctionEnd

Section "${PRODUCT} (the window and the command-line tool)" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\brelka.exe"
  File "${STAGE}\brelka-cli.exe"
  File "${STAGE}\brelka-play.dll"
  File "${STAGE}\qmx.dll"
  File "${STAGE}\README.md"
  File "${STAGE}\LICENSE"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\brelka.exe" "" "$INSTDIR\brelka.exe" 0

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\brelka.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ${If} $AllUsers == 1
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /ALLUSERS'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /ALLUSERS /S'
  ${Else}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ${EndIf}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "brelka-cli on the PATH (for the command line)" SecPath
  StrCpy $AddToPath 1
SectionEnd

; The tool's folder at the end of the user's (or, for every user, the system's) PATH. A PATH as
; long as this installer's strings is left alone rather than cut.
Section "-PATH"
  ${If} $AddToPath != 1
    Return
  ${EndIf}
  ${If} $AllUsers == 1
    ReadRegStr $0 HKLM "${SYSTEM_ENVIRONMENT}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "${USER_ENVIRONMENT}" "Path"
  ${EndIf}
  StrLen $1 $0
  ${If} $1 >= 900
    DetailPrint "The PATH is too long to change here; add $INSTDIR to it by hand."
    Return
  ${EndIf}
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR"
  ${Else}
    StrCpy $0 "$0;$INSTDIR"
  ${EndIf}
  ${If} $AllUsers == 1
    WriteRegExpandStr HKLM "${SYSTEM_ENVIRONMENT}" "Path" "$0"
  ${Else}
    WriteRegExpandStr HKCU "${USER_ENVIRONMENT}" "Path" "$0"
  ${EndIf}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "AddedToPath" 1
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
SectionEnd

Function un.onInit
  SetRegView 64
  StrCpy $AllUsers 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    SetShellVarContext all
  ${EndIf}
FunctionEnd

; Takes $INSTDIR out of the PATH value in $0 (wherever it stands) into $0.
Function un.WithoutInstallFolder
  ${If} $0 == "$INSTDIR"
    StrCpy $0 ""
    Return
  ${EndIf}
  ${un.WordReplace} "$0" ";$INSTDIR" "" "+" $0
  StrLen $1 "$INSTDIR;"
  StrCpy $2 $0 $1
  ${If} $2 == "$INSTDIR;"
    StrCpy $0 $0 "" $1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ReadRegDWORD $3 SHCTX "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $3 == 1
    ${If} $AllUsers == 1
      ReadRegStr $0 HKLM "${SYSTEM_ENVIRONMENT}" "Path"
      Call un.WithoutInstallFolder
      ${If} $0 == ""
        DeleteRegValue HKLM "${SYSTEM_ENVIRONMENT}" "Path"
      ${Else}
        WriteRegExpandStr HKLM "${SYSTEM_ENVIRONMENT}" "Path" "$0"
      ${EndIf}
    ${Else}
      ReadRegStr $0 HKCU "${USER_ENVIRONMENT}" "Path"
      Call un.WithoutInstallFolder
      ${If} $0 == ""
        DeleteRegValue HKCU "${USER_ENVIRONMENT}" "Path"
      ${Else}
        WriteRegExpandStr HKCU "${USER_ENVIRONMENT}" "Path" "$0"
      ${EndIf}
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
  ${EndIf}

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\brelka.exe"
  Delete "$INSTDIR\brelka-cli.exe"
  Delete "$INSTDIR\brelka-play.dll"
  Delete "$INSTDIR\qmx.dll"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
