; The Windows installer (makensis; see scripts/windows.sh package). It carries
; the 32-bit and the 64-bit game and installs the 64-bit one on 64-bit
; Windows, the 32-bit one elsewhere, into Program Files; records the folder as
; "Install Path"; adds Start-menu and (optionally) desktop shortcuts; and
; leaves an uninstaller that keeps the player's saved files unless asked.
;
; Defined on the command line: TARGET (x86-unicode, or amd64-unicode for a
; copy that only 64-bit Windows runs), VERSION, WIN32DIR and WIN64DIR (the
; staged zips' folders), ICON and OUTFILE.

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma

!include MUI2.nsh
!include x64.nsh
!include LogicLib.nsh

!define APPNAME "Glimmerfall Pinball"
!define PUBLISHER "Kestrune Software"
!define REGKEY "Software\Kestrune Software\Glimmerfall Pinball\1.0"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\GlimmerfallPinball"

Name "Kestrune Pinball: Glimmerfall"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PUBLISHER}\${APPNAME}"
RequestExecutionLevel admin
BrandingText "Kestrune Pinball: Glimmerfall ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Kestrune Pinball: Glimmerfall"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Kestrune Pinball: Glimmerfall setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\gfall.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\${PUBLISHER}\${APPNAME}"
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Glimmerfall Pinball" SecGame
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "${WIN64DIR}\gfall.exe"
    File "${WIN64DIR}\gftool.exe"
  ${Else}
    File "${WIN32DIR}\gfall.exe"
    File "${WIN32DIR}\gftool.exe"
  ${EndIf}
  File "${WIN64DIR}\GFALL.DAT"
  File "${WIN64DIR}\gfall-icon.png"
  File "${WIN64DIR}\README.txt"
  SetOutPath "$INSTDIR\help"
  File /r "${WIN64DIR}\help\*.*"
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${REGKEY}" "Install Path" "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "Kestrune Pinball: Glimmerfall"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\gfall.exe,0"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1

  CreateDirectory "$SMPROGRAMS\${APPNAME}"
  CreateShortcut "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk" "$INSTDIR\gfall.exe" "" "$INSTDIR\gfall.exe" 0
  CreateShortcut "$SMPROGRAMS\${APPNAME}\Uninstall ${APPNAME}.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Desktop shortcut" SecDesktop
  SetShellVarContext all
  CreateShortcut "$DESKTOP\${APPNAME}.lnk" "$INSTDIR\gfall.exe" "" "$INSTDIR\gfall.exe" 0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\gfall.exe"
  Delete "$INSTDIR\gftool.exe"
  Delete "$INSTDIR\GFALL.DAT"
  Delete "$INSTDIR\gfall-icon.png"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\help"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  Delete "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk"
  Delete "$SMPROGRAMS\${APPNAME}\Uninstall ${APPNAME}.lnk"
  RMDir "$SMPROGRAMS\${APPNAME}"
  Delete "$DESKTOP\${APPNAME}.lnk"
  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "${REGKEY}"
  DeleteRegKey /ifempty HKLM "Software\Kestrune Software\Glimmerfall Pinball"
  DeleteRegKey /ifempty HKLM "Software\Kestrune Software"
  ; The player's high scores, settings and kept games are theirs: removed
  ; only when they say so (a silent uninstall keeps them).
  SetShellVarContext current
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Also remove your high scores, settings and kept games?" /SD IDNO IDNO keep
    RMDir /r "$APPDATA\${PUBLISHER}\${APPNAME}"
    RMDir "$APPDATA\${PUBLISHER}"
  keep:
SectionEnd
