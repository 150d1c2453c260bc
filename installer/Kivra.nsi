; Kivra's installer: a per-user installation that needs no administrator
; rights. Kivra writes its log, its database and Config.ini beside Kivra.exe,
; so it lives in a folder the user owns (by default
; %LOCALAPPDATA%\Programs\Kivra), never in Program Files.
;
; Made by installer/make-installer.sh, which lays out the product folder and
; writes the file lists this script includes:
;   makensis -DVERSION=5.0.1.2 -DSTAGE=<product folder> -DOUTFILE=<setup.exe>
;            -DDATABASE=<database file> -DINSTALL_FILES=<nsh> -DUNINSTALL_FILES=<nsh>
;
; Switches of setup.exe:   /S silent, /D=<folder> (last, unquoted) the folder.
; Switches of uninstall.exe: /S silent (keeps the user's data), /REMOVEDATA
;   removes the user's data too, without asking.
; Exit code 2: Kivra was running (or the user cancelled at that question);
;   nothing was changed.

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Kivra"
!define PUBLISHER "Kivra"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kivra"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\Kivra.lnk"
; Kivra holds this mutex while it runs (one instance per session).
!define INSTANCE_MUTEX "NurelCorpV3SingleObjectMutex"
!define SYNCHRONIZE 0x00100000
!define EXIT_KIVRA_RUNNING 2

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"

!define MUI_ICON "${STAGE}/common/main.ico"
!define MUI_UNICON "${STAGE}/common/main.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Setup will install $(^NameDA) for you alone; it needs no administrator rights.$\r$\n$\r$\nIf Kivra is running, close it first. An earlier installation is replaced; your log, database and settings are kept.$\r$\n$\r$\n$(^ClickNext)"
!insertmacro MUI_PAGE_WELCOME
!define MUI_DIRECTORYPAGE_TEXT_TOP "Kivra keeps its log, its database and its settings in its own folder, so the folder must be one you can write to. The suggested folder is yours alone and needs no administrator rights.$\r$\n$\r$\nAn earlier installation in the same folder is replaced; its log, database and settings are kept."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Kivra"
!define MUI_FINISHPAGE_RUN_FUNCTION StartKivra
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

; Kivra is running when its mutex exists (an instance anywhere in this
; session) or when Kivra.exe in $INSTDIR cannot be opened for writing (an
; instance of this folder that has not taken the mutex yet, for instance one
; waiting for its start-up password). Replacing or removing its files then
; would fail halfway. Asks to close it; sets $0 to 1 when it still runs
; (the user cancelled, or silent mode), else to 0.
!macro KIVRA_RUNNING_CHECK prefix
Function ${prefix}CheckKivraClosed
  ${Do}
    StrCpy $0 0
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .r1'
    ${If} $1 <> 0
      System::Call 'kernel32::CloseHandle(p r1)'
      StrCpy $0 1
    ${ElseIf} ${FileExists} "$INSTDIR\Kivra.exe"
      ClearErrors
      FileOpen $1 "$INSTDIR\Kivra.exe" a
      ${If} ${Errors}
        StrCpy $0 1
      ${Else}
        FileClose $1
      ${EndIf}
    ${EndIf}
    ${If} $0 = 0
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kivra is running.$\r$\n$\r$\nClose it (File > Exit, or Exit in its tray icon's menu), then choose Retry." /SD IDCANCEL IDRETRY retry
    Return
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro KIVRA_RUNNING_CHECK ""
!insertmacro KIVRA_RUNNING_CHECK "un."

Function .onInit
  ; Without pages, the folder is known now; with pages, the directory page
  ; asks when the user leaves it.
  ${If} ${Silent}
    Call CheckKivraClosed
    ${If} $0 = 1
      SetErrorLevel ${EXIT_KIVRA_RUNNING}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  Call CheckKivraClosed
  ${If} $0 = 1
    Abort  ; stays on the directory page
  ${EndIf}
FunctionEnd

Function StartKivra
  ; Kivra finds its files beside itself; start it in its folder all the same.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\Kivra.exe"'
FunctionEnd

; An earlier installation registered in this folder goes first, by its own
; uninstaller, silently and in place: it removes the files that version
; installed (a plugin this version no longer has must not stay in plugins\,
; where Kivra would still load it) and keeps the user's data.
Function RemoveEarlierInstallation
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${AndIf} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    ExecWait '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  ${EndIf}
FunctionEnd

Section "Kivra" SecProgram
  SectionIn RO
  Call RemoveEarlierInstallation

  ; The program's files, folder by folder. None of them is the log, the
  ; database or Config.ini: those are the user's and are never overwritten.
  !include "${INSTALL_FILES}"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\Kivra.exe" "" "$INSTDIR\Kivra.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kivra.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $0  ; in KB, as EstimatedSize wants it
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  Call un.CheckKivraClosed
  ${If} $0 = 1
    SetErrorLevel ${EXIT_KIVRA_RUNNING}
    Quit
  ${EndIf}
FunctionEnd

; The user's data: the log folder (logs and crash reports), the database (with
; the files SQLite keeps beside it) and Config.ini (the start-up password).
; Removed with /REMOVEDATA, or when the user says so; silent mode keeps it.
; Sets $R9 to 1 when it goes, else to 0.
Function un.AskWhetherToRemoveUserData
  StrCpy $R9 1
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  StrCpy $R9 0
  StrCpy $1 ""
  ${If} ${FileExists} "$INSTDIR\log\*.*"
    StrCpy $1 "$1$\r$\n    log\ (log files and crash reports)"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${DATABASE}"
    StrCpy $1 "$1$\r$\n    ${DATABASE} (the database)"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Config.ini"
    StrCpy $1 "$1$\r$\n    Config.ini (the start-up password)"
  ${EndIf}
  ${If} $1 != ""
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Remove your Kivra data as well?$\r$\n$\r$\nIn $INSTDIR:$1$\r$\n$\r$\nChoose No to keep it for a later installation." /SD IDNO IDNO keep
    StrCpy $R9 1
    keep:
  ${EndIf}
FunctionEnd

Function un.RemoveUserData
  RMDir /r "$INSTDIR\log"
  Delete "$INSTDIR\${DATABASE}"
  Delete "$INSTDIR\${DATABASE}-journal"
  Delete "$INSTDIR\${DATABASE}-wal"
  Delete "$INSTDIR\${DATABASE}-shm"
  Delete "$INSTDIR\Config.ini"
FunctionEnd

Section "Uninstall"
  ; Asked first, before anything is gone.
  Call un.AskWhetherToRemoveUserData

  ; Only the files this version installed, and each folder only when it is
  ; empty then: whatever else the folder holds (a plugin the user added, or
  ; everything else when the folder was, say, the desktop) stays.
  !include "${UNINSTALL_FILES}"
  Delete "$INSTDIR\${UNINSTALLER}"

  ; The shortcut and the registration belong to the installation that was
  ; made last; another one elsewhere keeps them.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Delete "${SHORTCUT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}

  ${If} $R9 = 1
    Call un.RemoveUserData
  ${EndIf}
  RMDir "$INSTDIR"

  ; The picture and document stores only save decoding the skins' pictures
  ; and parsing the XML files again: not the user's data. Another
  ; installation makes them anew on its next start.
  Delete "$LOCALAPPDATA\Kivra\pictures.cache"
  Delete "$LOCALAPPDATA\Kivra\documents.cache"
  RMDir "$LOCALAPPDATA\Kivra"
SectionEnd
