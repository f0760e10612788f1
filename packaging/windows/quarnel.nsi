; The Windows installer: the window (quarnel.exe) and quarnel-cli.exe, for
; all users (Program Files, needs administrator rights) or for the current
; user alone (%LOCALAPPDATA%\Programs, needs none). scripts/package-windows.sh
; builds it and defines:
;   VERSION    the version from project() in CMakeLists.txt
;   BUILD_DIR  the cross build's folder (holds app\quarnel.exe, cli\quarnel-cli.exe)
;   ICON       the programs' icon (.ico)
;   OUT_FILE   the setup program to write
; Command line: /S silent, /AllUsers or /CurrentUser; without either an
; administrator installs for all users (or where an earlier install lives),
; anyone else for themselves; /D=FOLDER, last, another folder. The
; uninstaller takes /S as well.

Unicode true
Target amd64-unicode
ManifestSupportedOS all
ManifestDPIAware true

!ifndef VERSION | BUILD_DIR | ICON | OUT_FILE
  !error "Build with scripts/package-windows.sh: VERSION, BUILD_DIR, ICON and OUT_FILE must be defined"
!endif

!define PRODUCT "Quarnel"
!define PUBLISHER "The Quarnel developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

; The file version resource wants four numbers; project() gives two or three.
!searchparse /noerrors "${VERSION}.0.0" "" V_MAJOR "." V_MINOR "." V_PATCH "."
VIProductVersion "${V_MAJOR}.${V_MINOR}.${V_PATCH}.0"
VIFileVersion "${V_MAJOR}.${V_MINOR}.${V_PATCH}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

; Per-machine or per-user, chosen on a page or by /AllUsers and /CurrentUser.
; The uninstall key's InstallLocation is where an earlier install went: a
; new one goes there again, in the same mode.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\quarnel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; The registry as 64-bit programs see it, before MultiUser reads it.
  SetRegView 64
  ; MultiUser sets the mode's folder over the one given with /D=.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
FunctionEnd

; A running program's file cannot be written or deleted. Checked for every
; program before anything changes, so that a refused setup or uninstall
; leaves the earlier state whole, not half of it.
!macro REFUSE_IF_RUNNING
  !insertmacro REFUSE_IF_OPEN quarnel.exe
  !insertmacro REFUSE_IF_OPEN quarnel-cli.exe
!macroend
!macro REFUSE_IF_OPEN FILE
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${FILE}" a
    ${If} ${Errors}
      Abort "$INSTDIR\${FILE} is in use. Close ${PRODUCT} and try again."
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

Section "${PRODUCT}" SecProgram
  SetOutPath "$INSTDIR"
  !insertmacro REFUSE_IF_RUNNING
  ; Silent mode would skip a file it cannot write and report success.
  ClearErrors
  File "/oname=quarnel.exe" "${BUILD_DIR}/app/quarnel.exe"
  File "/oname=quarnel-cli.exe" "${BUILD_DIR}/cli/quarnel-cli.exe"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    Abort "Could not write into $INSTDIR. Close ${PRODUCT} and run the setup again."
  ${EndIf}

  ; The window only: quarnel-cli belongs in a terminal.
  CreateShortcut "${SHORTCUT}" "$INSTDIR\quarnel.exe" "" "$INSTDIR\quarnel.exe" 0 \
    "" "" "Write new firmware into a motor controller over a serial port"

  ; SHCTX is HKLM for all users, HKCU for one, as MultiUser set it.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quarnel.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The mode is the one whose uninstall key names this folder, whatever the
; command line says: with Quarnel installed both for all users and for one,
; either uninstaller must clean its own registry and Start menu, not the
; other's. MultiUser sets $INSTDIR from the mode's uninstall key, which may
; be the other install's folder: the uninstaller works on its own folder only.
Function un.onInit
  SetRegView 64
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $R9
    Call un.MultiUser.InstallMode.CurrentUser
  ${ElseIf} $1 == $R9
    Call un.MultiUser.InstallMode.AllUsers
    ${If} $MultiUser.InstallMode != "AllUsers"
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} was installed for all users: removing it needs administrator rights." /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
  ${EndIf}
  StrCpy $INSTDIR $R9
FunctionEnd

; Removes what the installer put there and nothing else: the folder goes
; only when it is empty, since the user may have chosen one holding more.
Section "Uninstall"
  !insertmacro REFUSE_IF_RUNNING
  ClearErrors
  Delete "$INSTDIR\quarnel.exe"
  Delete "$INSTDIR\quarnel-cli.exe"
  ${If} ${Errors}
    Abort "Could not remove the programs from $INSTDIR. Close ${PRODUCT} and uninstall again."
  ${EndIf}
  Delete "${SHORTCUT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
