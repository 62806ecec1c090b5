; HushcallSetup-<version>.exe (32-bit player) or HushcallSetup-<version>-x64.exe
; (64-bit player): puts gen_hushcall.dll and Hushcall.dll into the player's
; Plugins folder, with an uninstaller beside them and an entry in "Add or
; remove programs". Built by scripts/package.sh, one edition per cross
; build, which says which it is (generated/hushcall_edition.nsh):
;
;   makensis -DBUILD=<cross build dir> -DOUTFILE=<setup.exe> installer/hushcall.nsi
;
; Per user where the folder is the user's own; per machine (entry under
; HKLM, work done by an elevated copy of setup) where writing needs an
; administrator. The user's own settings and registration stay with the
; process the user started, never with the elevated copy, whose HKCU may
; be another administrator's.
;
; Exit codes: 0 every file in place (or removed), 1 cancelled (elevation
; declined), 2 failed. Switches: /S silent, /AllUsers per machine in any
; folder, /D=<player folder> (last); for the uninstaller /REMOVESETTINGS to
; remove the stored settings too when silent, and /FROMPLAYER when the
; player runs it from its plug-in preferences (it is not closed, and
; deletes gen_hushcall.dll itself once unloaded). /ELEVATED marks the
; elevated copy.

!include "${BUILD}\generated\hushcall_version.nsh"
!include "${BUILD}\generated\hushcall_edition.nsh"
; A plug-in loads only into a player of its own kind, so each edition
; refuses a winamp.exe of the other's machine (the PE header's field).
; The 64-bit one is a 64-bit program itself: it sees the registry and
; Program Files as a 64-bit player does, and keeps its own uninstall entry
; so that both editions can be installed side by side.
!if "${HUSHCALL_EDITION}" == "win64"
  Target amd64-unicode
  !define EDITION_NAME " (64-bit)"
  !define ARP_KEY_NAME "Hushcall (x64)"
  !define PROGRAM_FILES "$PROGRAMFILES64"
  !define OTHER_MACHINE 0x14c
  !define OTHER_PLAYER_TEXT "This player is a 32-bit program. Use HushcallSetup-${HUSHCALL_VERSION}.exe for it."
!else if "${HUSHCALL_EDITION}" == "win32"
  Unicode true
  !define EDITION_NAME ""
  !define ARP_KEY_NAME "Hushcall"
  !define PROGRAM_FILES "$PROGRAMFILES"
  !define OTHER_MACHINE 0x8664
  !define OTHER_PLAYER_TEXT "This player is a 64-bit program. Use HushcallSetup-${HUSHCALL_VERSION}-x64.exe for it."
!else
  !error "No installer edition '${HUSHCALL_EDITION}': BUILD must be a cross build."
!endif
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include "install_mode.nsh"

!define PLAYER_CLASS "Winamp v1.x"
!define PLAYER_QUIT 40001
; How long a player that was asked to close may take to be gone.
!define PLAYER_CLOSE_MS 20000
!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${ARP_KEY_NAME}"
!define SETTINGS_KEY "Software\VB and VBA Program Settings\Hushcall"
!define CLSID_KEY "Software\Classes\CLSID\{2BEAE623-8F5F-4E4D-9AC2-356FF3995917}"
!define UNINSTALLER "Hushcall-uninstall.exe"

Name "Hushcall ${HUSHCALL_VERSION}${EDITION_NAME}"
OutFile "${OUTFILE}"
; MultiUser.nsh fixes the execution level at build time and elevates the
; whole run, HKCU included, before the folder is known. Here the folder
; decides, and only the machine-wide part runs elevated.
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion ${HUSHCALL_VERSION_QUAD}
VIAddVersionKey ProductName "Hushcall"
VIAddVersionKey ProductVersion "${HUSHCALL_VERSION}"
VIAddVersionKey FileVersion "${HUSHCALL_VERSION}"
VIAddVersionKey FileDescription "Hushcall ${HUSHCALL_VERSION}${EDITION_NAME} setup"
VIAddVersionKey LegalCopyright "Hushcall"

DirText "Hushcall goes into the Plugins folder of the player. Setup found the folder below; choose another if the player is elsewhere." "Player folder"
Page directory "" "" CheckPlayerFolder
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; $R0: a command line as the registry keeps it ("C:\x\y.exe",0 or
; C:\x\y.exe); leaves the folder of its program in $R0.
!macro FOLDER_OF_COMMAND
  StrCpy $R1 $R0 1
  ${If} $R1 == '"'
    StrCpy $R0 $R0 "" 1
  ${EndIf}
  StrCpy $R2 0
  ${Do}
    StrCpy $R1 $R0 1 $R2
    ${If} $R1 == ""
    ${OrIf} $R1 == '"'
    ${OrIf} $R1 == ","
      ${ExitDo}
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
  StrCpy $R0 $R0 $R2
  ${GetParent} $R0 $R0
!macroend

; The player's folder as the player records it; WACUP's when only it is there.
Function FindPlayer
  ReadRegStr $R0 HKCU "Software\Winamp" ""
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\winamp.exe"
    Return
  ${EndIf}
  ReadRegStr $R0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
  ${If} $R0 == ""
    ReadRegStr $R0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "DisplayIcon"
  ${EndIf}
  ${If} $R0 != ""
    !insertmacro FOLDER_OF_COMMAND
    ${If} ${FileExists} "$R0\winamp.exe"
      Return
    ${EndIf}
  ${EndIf}
  ${IfNot} ${FileExists} "${PROGRAM_FILES}\Winamp\winamp.exe"
    ReadRegStr $R0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\WACUP" "UninstallString"
    ${If} $R0 != ""
      !insertmacro FOLDER_OF_COMMAND
      ${If} ${FileExists} "$R0\Plugins\*.*"
        Return
      ${EndIf}
    ${EndIf}
    ${If} ${FileExists} "${PROGRAM_FILES}\WACUP\Plugins\*.*"
      StrCpy $R0 "${PROGRAM_FILES}\WACUP"
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $R0 "${PROGRAM_FILES}\Winamp"
FunctionEnd

; The machine field of the PE file $R0 in $R1 (0x14c x86, 0x8664 x64), or 0
; when it is no PE file: e_lfanew at 0x3C points to "PE\0\0", then the field.
Function PeMachine
  StrCpy $R1 0
  ClearErrors
  FileOpen $R2 $R0 r
  ${If} ${Errors}
    Return
  ${EndIf}
  FileSeek $R2 0x3C SET
  FileReadWord $R2 $R3
  FileReadWord $R2 $R4
  IntOp $R4 $R4 << 16
  IntOp $R3 $R3 | $R4
  FileSeek $R2 $R3 SET
  FileReadWord $R2 $R3
  FileReadWord $R2 $R4
  FileReadWord $R2 $R5
  ${IfNot} ${Errors}
  ${AndIf} $R3 = 0x4550
  ${AndIf} $R4 = 0
    StrCpy $R1 $R5
  ${EndIf}
  FileClose $R2
FunctionEnd

; $R0: why the folder's player can't take this edition, or "" when it can
; (or there is none: that is CheckPlayerFolder's question).
Function CheckPlayerMachine
  StrCpy $R0 "$INSTDIR\winamp.exe"
  Call PeMachine
  StrCpy $R0 ""
  ${If} $R1 = ${OTHER_MACHINE}
    StrCpy $R0 "${OTHER_PLAYER_TEXT}"
  ${EndIf}
FunctionEnd

Function .onInit
  !if "${HUSHCALL_EDITION}" == "win64"
    SetRegView 64
  !endif
  ; /D= fills $INSTDIR before this runs; only without it do we look.
  ${If} $INSTDIR == ""
    Call FindPlayer
    StrCpy $INSTDIR $R0
  ${EndIf}
  ; Silent, no page asks: the wrong player ends setup before it writes.
  ${If} ${Silent}
    Call CheckPlayerMachine
    ${If} $R0 != ""
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !if "${HUSHCALL_EDITION}" == "win64"
    SetRegView 64
  !endif
FunctionEnd

Function CheckPlayerFolder
  Call CheckPlayerMachine
  ${If} $R0 != ""
    MessageBox MB_OK|MB_ICONSTOP "$R0"
    Abort
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    MessageBox MB_YESNO|MB_ICONEXCLAMATION "$INSTDIR holds no winamp.exe, so the player may not be installed there.$\n$\nInstall Hushcall into this folder anyway?" /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd

; $R1: a path, made full and long (no "..", no 8.3 names) so that two
; spellings of one file compare equal; kept as it is where that fails.
; Uses $R2 and $R3.
!macro LONG_PATH
  System::Call 'kernel32::GetFullPathNameW(w R1, i ${NSIS_MAX_STRLEN}, w .R2, p 0) i .R3'
  ${If} $R3 > 0
  ${AndIf} $R3 < ${NSIS_MAX_STRLEN}
    StrCpy $R1 $R2
  ${EndIf}
  System::Call 'kernel32::GetLongPathNameW(w R1, w .R2, i ${NSIS_MAX_STRLEN}) i .R3'
  ${If} $R3 > 0
  ${AndIf} $R3 < ${NSIS_MAX_STRLEN}
    StrCpy $R1 $R2
  ${EndIf}
!macroend

; A loaded plug-in cannot be replaced or deleted: the player that runs from
; this folder (PLAYER, its winamp.exe) is asked to close, as its own Exit
; command does, and waited for until its process is gone. Another program
; with the player's window class, or a player run from another folder, is
; left alone. The user may say no; silent mode does not ask. A player that
; stays, or one setup can't look at, stops setup rather than hang it.
; PROCESS_QUERY_LIMITED_INFORMATION (0x1000) | SYNCHRONIZE (0x100000)
!define PLAYER_ACCESS 0x00101000
!macro CLOSE_PLAYER un what player
Function ${un}ClosePlayer
  StrCpy $R1 "${player}"
  !insertmacro LONG_PATH
  StrCpy $R0 $R1
  StrCpy $R4 ""
  StrCpy $0 0
  ; Bounded, however the windows come and go while we look.
  ${For} $R5 1 64
    System::Call 'user32::FindWindowExW(p 0, p r0, w "${PLAYER_CLASS}", p 0) p .r0'
    ${If} $0 == 0
      Return
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i ${PLAYER_ACCESS}, i 0, i r1) p .r2'
    ${If} $2 == 0
      Abort "Setup cannot tell which player is running; close it and run setup again."
    ${EndIf}
    System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .R1, *i ${NSIS_MAX_STRLEN}) i .r3'
    ${If} $3 == 0
      System::Call 'kernel32::CloseHandle(p r2)'
      Abort "Setup cannot tell which player is running; close it and run setup again."
    ${EndIf}
    !insertmacro LONG_PATH
    ${If} $R1 != $R0
      System::Call 'kernel32::CloseHandle(p r2)'
      ${Continue}
    ${EndIf}
    ${If} $R4 == ""
      MessageBox MB_OKCANCEL|MB_ICONINFORMATION "The player is running. Setup closes it now so that Hushcall can be ${what}; start it again afterwards." /SD IDOK IDOK close_it
      System::Call 'kernel32::CloseHandle(p r2)'
      Abort "Cancelled: the player is still running."
      close_it:
      StrCpy $R4 asked
      DetailPrint "Closing the player"
    ${EndIf}
    System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${PLAYER_QUIT}, p 0)'
    System::Call 'kernel32::WaitForSingleObject(p r2, i ${PLAYER_CLOSE_MS}) i .r3'
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $3 != 0
      Abort "The player did not close within ${PLAYER_CLOSE_MS} ms; close it and run setup again."
    ${EndIf}
    ; Its window is gone, and with it our place in the list: from the top.
    StrCpy $0 0
  ${Next}
FunctionEnd
!macroend
!insertmacro CLOSE_PLAYER "" "installed" "$INSTDIR\winamp.exe"
; The uninstaller's $INSTDIR is the Plugins folder.
!insertmacro CLOSE_PLAYER "un." "removed" "$INSTDIR\..\winamp.exe"


; "machine" or "user", for this run.
Var Mode
; 1 when the player runs the uninstaller from its preferences.
Var FromPlayer

; $R0: 1 when this process may create files in folder $R1 (made if
; missing), else 0.
!macro FOLDER_WRITABLE un
Function ${un}FolderWritable
  CreateDirectory "$R1"
  StrCpy $R0 0
  ClearErrors
  FileOpen $R2 "$R1\hushcall-setup.tmp" w
  ${IfNot} ${Errors}
    FileClose $R2
    Delete "$R1\hushcall-setup.tmp"
    StrCpy $R0 1
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FOLDER_WRITABLE ""
!insertmacro FOLDER_WRITABLE "un."

; Sets $Mode for the Plugins folder $R1: per machine where the folder needs
; an administrator, where a machine-wide registration is to go, where a
; machine-wide install of this folder is already, or with /AllUsers.
!macro CHOOSE_MODE un
Function ${un}ChooseMode
  Push $R1
  Call ${un}FolderWritable
  Pop $R1
  StrCpy $R3 0
  ClearErrors
  EnumRegKey $R2 HKLM "${CLSID_KEY}" 0
  ${IfNot} ${Errors}
    StrCpy $R3 1
  ${EndIf}
  ReadRegStr $R2 HKLM "${ARP_KEY}" "InstallLocation"
  ${If} $R2 == $R1
    StrCpy $R3 1
  ${EndIf}
  StrCpy $R4 0
  ${GetOptions} $CMDLINE "/AllUsers" $R2
  ${IfNot} ${Errors}
    StrCpy $R4 1
  ${EndIf}
  !insertmacro INSTALL_MODE $Mode $R0 $R3 $R4
  DetailPrint "Per $Mode"
FunctionEnd
!macroend
!insertmacro CHOOSE_MODE ""
!insertmacro CHOOSE_MODE "un."

; Runs this program again elevated with the arguments $R0 and waits for it;
; leaves setup's exit code for that in $R0.
; SEE_MASK_NOCLOSEPROCESS: the handle, for the wait and the child's code.
; SHELLEXECUTEINFOW: System does not align members, so the 64-bit layout
; spells out the padding after its two 32-bit members that precede pointers.
!if ${NSIS_PTR_SIZE} > 4
  !define SEI_PAD ", i"
!else
  !define SEI_PAD ""
!endif
!macro RUN_ELEVATED un
Function ${un}RunElevated
  System::Call '*(&l4, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w R0, w n, i 1${SEI_PAD}, p, p, w n, p, i 0${SEI_PAD}, p, p) p .r0'
  System::Call 'shell32::ShellExecuteExW(p r0) i .r1 ?e'
  Pop $2
  System::Call '*$0(i, i, p, w, w, w, w, i${SEI_PAD}, p, p, w, p, i${SEI_PAD}, p, p .r3)'
  System::Free $0
  StrCpy $4 2
  ${If} $1 <> 0
    StrCpy $1 1
    System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4)'
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  !insertmacro ELEVATED_EXIT_CODE $R0 $1 $2 $4
FunctionEnd
!macroend
!insertmacro RUN_ELEVATED ""
!insertmacro RUN_ELEVATED "un."

; The HKCU entry of an install of this folder ($R1) that was per user
; before: the user's own, so only the unelevated process removes it.
!macro REMOVE_USER_ENTRY un
Function ${un}RemoveUserEntry
  ReadRegStr $R2 HKCU "${ARP_KEY}" "InstallLocation"
  ${If} $R2 == $R1
    DeleteRegKey HKCU "${ARP_KEY}"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro REMOVE_USER_ENTRY ""
!insertmacro REMOVE_USER_ENTRY "un."

; The files and the entry, under SHCTX: HKLM per machine, HKCU per user.
Function InstallFiles
  ClearErrors
  SetOutPath "$INSTDIR\Plugins"
  SetOverwrite on
  File "${BUILD}\host\gen_hushcall.dll"
  File "${BUILD}\plugin\win32\Hushcall.dll"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"
  ${If} ${Errors}
    Abort "Setup could not write into $INSTDIR\Plugins."
  ${EndIf}
  ; The host wrapper loads the Hushcall.dll beside it; a registration left
  ; by an older install would win over it, so it goes, by the DLL's own
  ; unregistration.
  UnRegDLL "$INSTDIR\Plugins\Hushcall.dll"

  ClearErrors
  WriteRegStr SHCTX "${ARP_KEY}" "DisplayName" "Hushcall${EDITION_NAME}"
  WriteRegStr SHCTX "${ARP_KEY}" "DisplayVersion" "${HUSHCALL_VERSION}"
  WriteRegStr SHCTX "${ARP_KEY}" "Publisher" "Hushcall"
  WriteRegStr SHCTX "${ARP_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr SHCTX "${ARP_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr SHCTX "${ARP_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${ARP_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${ARP_KEY}" "NoRepair" 1
  ; In KB, of our three files only.
  StrCpy $3 0
  ${GetSize} "$INSTDIR\Plugins" "/M=gen_hushcall.dll /S=0K /G=0" $0 $1 $2
  IntOp $3 $3 + $0
  ${GetSize} "$INSTDIR\Plugins" "/M=Hushcall.dll /S=0K /G=0" $0 $1 $2
  IntOp $3 $3 + $0
  ${GetSize} "$INSTDIR\Plugins" "/M=${UNINSTALLER} /S=0K /G=0" $0 $1 $2
  IntOp $3 $3 + $0
  WriteRegDWORD SHCTX "${ARP_KEY}" "EstimatedSize" $3
  ${If} ${Errors}
    Abort "Setup could not write its entry in Add or remove programs."
  ${EndIf}
FunctionEnd

Section "Hushcall"
  ${GetOptions} $CMDLINE "/ELEVATED" $0
  ${IfNot} ${Errors}
    SetShellVarContext all
    Call InstallFiles
    Return
  ${EndIf}
  StrCpy $R1 "$INSTDIR\Plugins"
  Call ChooseMode
  Call ClosePlayer
  ${If} $Mode == user
    Call InstallFiles
    Return
  ${EndIf}
  StrCpy $R0 "/S /ELEVATED /D=$INSTDIR"
  Call RunElevated
  ${If} $R0 != 0
    SetErrorLevel $R0
    ${If} $R0 == 1
      Abort "Cancelled: Hushcall needs an administrator to install into $INSTDIR\Plugins."
    ${EndIf}
    Abort "Setup could not install into $INSTDIR\Plugins (exit code $R0)."
  ${EndIf}
  ; The user's own traces, in the user's own hive.
  UnRegDLL "$INSTDIR\Plugins\Hushcall.dll"
  StrCpy $R1 "$INSTDIR\Plugins"
  Call RemoveUserEntry
SectionEnd

; $R1: our files still in the folder, one a line; gen_hushcall.dll not
; when the player removes it (from its preferences, into a folder it may
; write to).
Function un.ListLeft
  StrCpy $R1 ""
  ${If} ${FileExists} "$INSTDIR\gen_hushcall.dll"
    ${If} $FromPlayer != 1
    ${OrIf} $Mode == machine
      StrCpy $R1 "$R1$\n  gen_hushcall.dll"
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Hushcall.dll"
    StrCpy $R1 "$R1$\n  Hushcall.dll"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    StrCpy $R1 "$R1$\n  ${UNINSTALLER}"
  ${EndIf}
FunctionEnd

; Removes the files, then the SHCTX entry only when none is left; $R0 the
; exit code. $INSTDIR is the Plugins folder the uninstaller lies in.
Function un.RemoveFiles
  UnRegDLL "$INSTDIR\Hushcall.dll"
  Delete "$INSTDIR\Hushcall.dll"
  Delete "$INSTDIR\gen_hushcall.dll"
  ; The player that runs us holds gen_hushcall.dll and, without an
  ; administrator, could not delete it here: it is renamed to a name the
  ; player does not load and deleted at the next Windows start.
  ${If} $FromPlayer == 1
  ${AndIf} $Mode == machine
  ${AndIf} ${FileExists} "$INSTDIR\gen_hushcall.dll"
    GetTempFileName $0 "$INSTDIR"
    Delete $0
    ClearErrors
    Rename "$INSTDIR\gen_hushcall.dll" $0
    ${IfNot} ${Errors}
      Delete /REBOOTOK $0
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  Call un.ListLeft
  StrCpy $R0 0
  ${If} $R1 == ""
    ; Last, so that its absence means the uninstall is done.
    DeleteRegKey SHCTX "${ARP_KEY}"
  ${Else}
    DetailPrint "Left in $INSTDIR:$R1"
    StrCpy $R0 2
  ${EndIf}
FunctionEnd

Section "Uninstall"
  StrCpy $FromPlayer 0
  ${GetOptions} $CMDLINE "/FROMPLAYER" $0
  ${IfNot} ${Errors}
    StrCpy $FromPlayer 1
  ${EndIf}
  ${GetOptions} $CMDLINE "/ELEVATED" $0
  ${IfNot} ${Errors}
    StrCpy $Mode machine
    SetShellVarContext all
    Call un.RemoveFiles
    SetErrorLevel $R0
    Return
  ${EndIf}
  StrCpy $R1 $INSTDIR
  Call un.ChooseMode
  ${If} $FromPlayer != 1
    Call un.ClosePlayer
  ${EndIf}
  ${If} $Mode == user
    Call un.RemoveFiles
  ${Else}
    ; The user's own registration, while the file is still there.
    UnRegDLL "$INSTDIR\Hushcall.dll"
    StrCpy $R0 "/S /ELEVATED"
    ${If} $FromPlayer == 1
      StrCpy $R0 "$R0 /FROMPLAYER"
    ${EndIf}
    ; In place: the copy waits, and its exit code is the outcome.
    StrCpy $R0 "$R0 _?=$INSTDIR"
    Call un.RunElevated
  ${EndIf}
  ${If} $R0 != 0
    SetErrorLevel $R0
    ${If} $R0 == 1
      Abort "Cancelled: Hushcall needs an administrator to be removed from $INSTDIR."
    ${EndIf}
    Call un.ListLeft
    MessageBox MB_OK|MB_ICONEXCLAMATION "Hushcall could not be removed completely. Still in $INSTDIR:$R1$\n$\nRun Hushcall-uninstall.exe there again as an administrator, or close the player and delete these files." /SD IDOK
    Abort "Hushcall could not be removed completely."
  ${EndIf}
  StrCpy $R1 $INSTDIR
  Call un.RemoveUserEntry
  ${If} ${Silent}
    ${GetOptions} $CMDLINE "/REMOVESETTINGS" $0
    ${IfNot} ${Errors}
      DeleteRegKey HKCU "${SETTINGS_KEY}"
    ${EndIf}
  ${Else}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Remove Hushcall's stored settings too?$\n$\nChoose No to keep them for a later install." IDNO +2
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}
SectionEnd
