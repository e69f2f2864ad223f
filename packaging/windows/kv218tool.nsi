; The Windows setup program: kv218tool.exe, kv218.exe and the operators' README under
; Program Files\kv218tool, a Start-menu shortcut to the window, an entry in the system's list
; of installed programs, "Open with" for .hex files, and on request the folder on the PATH.
; Built on Linux by scripts/build-windows:
;   makensis -DVERSION=x.y.z -DSOURCE=<folder of the programs and README.txt> -DICON=<.ico>
;            -DOUTFILE=<setup.exe> kv218tool.nsi
; Silent: setup.exe /S [/PATH] [/D=C:\folder]; uninstall.exe /S. The user's settings
; (%APPDATA%\kv218tool) are never touched.

Unicode true
Target amd64-unicode  ; the programs are 64-bit
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define APPNAME "Firmware Upgrade Application"
!define PUBLISHER "kv218tool maintainers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\kv218tool"
!define ENV_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define PROGID "kv218tool.hex"

Name "${APPNAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\kv218tool"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "kv218tool ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${APPNAME} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs ${APPNAME} ${VERSION}: the KV-218 tool's window \
  (kv218tool.exe) and its command line (kv218.exe).$\r$\n$\r$\nYour settings \
  (%APPDATA%\kv218tool) are kept when you install again or uninstall.$\r$\n$\r$\n$_CLICK"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "${APPNAME} will be removed from the folder below. Your \
  settings are kept: %APPDATA%\kv218tool\kv218tool.INI (and kv218tool.INI in this folder, if \
  there is one, with the folder itself)."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "${APPNAME}" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${SOURCE}\kv218tool.exe"
  File "${SOURCE}\kv218.exe"
  File "${SOURCE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\kv218tool.exe" "" \
    "$INSTDIR\kv218tool.exe" 0 SW_SHOWNORMAL "" "${APPNAME}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${APPNAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\kv218tool.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0  ; in KB
SectionEnd

; Offered in "Open with" for .hex files, without becoming the extension's default program.
Section "Offer it in $\"Open with$\" for .hex files" SecOpenWith
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Intel HEX file"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\kv218tool.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" \
    '"$INSTDIR\kv218tool.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\.hex\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\Applications\kv218tool.exe" "FriendlyAppName" "${APPNAME}"
  WriteRegStr HKLM "Software\Classes\Applications\kv218tool.exe\SupportedTypes" ".hex" ""
  WriteRegStr HKLM "Software\Classes\Applications\kv218tool.exe\shell\open\command" "" \
    '"$INSTDIR\kv218tool.exe" "%1"'
  WriteRegDWORD HKLM "${UNINST_KEY}" "OpenWith" 1
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; SHCNE_ASSOCCHANGED
SectionEnd

; Off unless chosen (or /PATH given to a silent setup).
Section /o "Add the folder to the PATH (for kv218.exe)" SecPath
  ReadRegStr $0 HKLM "${ENV_KEY}" "Path"
  StrLen $1 $0
  ; A PATH as long as the installer's strings may have been cut when read: never write it back.
  ${If} $1 >= ${NSIS_MAX_STRLEN}-2
    DetailPrint "The PATH is too long to be changed safely; add $INSTDIR to it by hand."
    Return
  ${EndIf}
  ${WordFind} ";$0;" ";$INSTDIR;" "E*" $2
  ${If} ${Errors}  ; not there yet
    ${If} $0 == ""
      StrCpy $0 "$INSTDIR"
    ${Else}
      StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
    WriteRegExpandStr HKLM "${ENV_KEY}" "Path" "$0"
    WriteRegDWORD HKLM "${UNINST_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "AddedToPath"
  ${If} $0 == 1
    ReadRegStr $0 HKLM "${ENV_KEY}" "Path"
    StrLen $1 $0
    ${If} $1 < ${NSIS_MAX_STRLEN}-2
      ${WordReplace} ";$0;" ";$INSTDIR;" ";" "+" $0
      ; Back to the text without the semicolons added around it above.
      StrCpy $0 $0 "" 1
      StrCpy $0 $0 -1
      WriteRegExpandStr HKLM "${ENV_KEY}" "Path" "$0"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${Else}
      DetailPrint "The PATH is too long to be changed safely; remove $INSTDIR from it by hand."
    ${EndIf}
  ${EndIf}
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "OpenWith"
  ${If} $0 == 1
    DeleteRegValue HKLM "Software\Classes\.hex\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKLM "Software\Classes\.hex\OpenWithProgids"
    DeleteRegKey /ifempty HKLM "Software\Classes\.hex"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "Software\Classes\Applications\kv218tool.exe"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  ${EndIf}

  Delete "$SMPROGRAMS\${APPNAME}.lnk"
  Delete "$INSTDIR\kv218tool.exe"
  Delete "$INSTDIR\kv218.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"  ; only when empty: a settings file kept there stays
  DeleteRegKey HKLM "${UNINST_KEY}"

  ; Where the settings that were kept are, in the uninstaller's list of what it did.
  ${If} ${FileExists} "$INSTDIR\kv218tool.INI"
    DetailPrint "Settings kept: $INSTDIR\kv218tool.INI"
  ${EndIf}
  SetShellVarContext current  ; the user's own application data, not all users'
  ${If} ${FileExists} "$APPDATA\kv218tool\kv218tool.INI"
    DetailPrint "Settings kept: $APPDATA\kv218tool\kv218tool.INI"
  ${Else}
    DetailPrint "Settings are kept in $APPDATA\kv218tool when there are any."
  ${EndIf}
  SetShellVarContext all
SectionEnd
