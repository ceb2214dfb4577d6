; Tovra's setup: installs for the current user only, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tovra. Built by the build (installer/CMakeLists.txt), which passes:
;   VERSION        2.0.0.7, the program's version as the build sets it
;   VERSION_SHORT  2.0.7, as the setup's file name shows it
;   SOURCE_DIR     the folder with tovra.exe, Tovra.chm and Tovra.html
;   ICON           the program's icon
;   WIZARD         the picture of the finish page (draw-wizard.sh)
;   OUTFILE        the setup program to write
;   SIGN           optional: scripts/sign.sh, which signs the uninstaller and the setup when the
;                  environment names a certificate (and keeps a copy of the signed uninstaller
;                  in SOURCE_DIR, where it can be checked)
;
; Switches besides NSIS's own /S (silent) and /D=folder (last, unquoted):
;   /NOAUTOSTART   leaves the Run value out: Tovra does not start at log-on.
;
; Over a running copy, the copy is ended the way its tray menu's Exit ends it, waited for, and
; started again once its files are replaced, even by a silent setup: an update must not leave the
; user without the program they had running. Settings live in the registry and are never touched.

Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinMessages.nsh
!include WordFunc.nsh

!ifndef VERSION | VERSION_SHORT | SOURCE_DIR | ICON | WIZARD | OUTFILE
    !error "Build with -DVERSION=... -DVERSION_SHORT=... -DSOURCE_DIR=... -DICON=... -DWIZARD=... -DOUTFILE=..."
!endif

!define PRODUCT "Tovra"
!define COMPANY "Brannik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovra"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Task Manager's Startup tab keeps its own switch beside the Run value: the first byte of this
; binary value is odd while the user has switched Tovra off there.
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
; The main window's registered class (resources/MainDialogIds.h).
!define MAIN_WINDOW_CLASS "Tovra.MainWindow"
!define START_MENU "$SMPROGRAMS\Tovra"
; The tray menu's "E&xit", as the running copy's main window receives it.
!define ID_TRAY_EXIT 32771
; How long a running copy may take to end after Exit before it is ended by force, and then how
; long the end itself may take. Exit normally takes well under a second.
!define EXIT_WAIT_MS 10000
!define TERMINATE_WAIT_MS 5000

!ifdef SIGN
    ; Each is signed as NSIS writes it: the uninstaller before it is packed into the setup.
    !uninstfinalize '"${SIGN}" "%1" "${SOURCE_DIR}/uninstall.exe"' = 0
    !finalize '"${SIGN}" "%1"' = 0
!endif

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tovra"
; An update goes where the installed copy is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION_SHORT}"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

Var Autostart     ; BST_CHECKED: write the Run value
Var AutostartOff  ; 1 while Task Manager has the installed copy's autostart switched off
Var Shortcuts     ; BST_CHECKED: Start menu shortcuts
Var AutostartBox
Var ShortcutsBox
Var WasRunning    ; 1 when a running copy was ended for this setup
Var Started       ; 1 once this setup has started Tovra
Var Elevated      ; 1 when this setup runs with administrator rights that the shell does not have

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Tovra now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartFromFinishPage
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Functions that the setup and the uninstaller both need; NSIS wants the uninstaller's copy
; under a name of its own ("un." in front).
!macro SHARED_FUNCTIONS un

; Ends every running Tovra on this desktop as its tray menu's Exit would, and waits for each to
; be gone. The main window is found by its own class: a box the program shows (titled "Tovra" as
; well, and above the main window) would ignore the command and cost a forced end. A window of
; that class that does not belong to a tovra.exe is someone else's and is left alone.
Function ${un}EndRunningTovra
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    StrCpy $0 0 ; the window after which to look
    StrCpy $5 0 ; copies ended: a copy that cannot be ended at all must not hold the setup for ever
    ${Do}
        FindWindow $0 "${MAIN_WINDOW_CLASS}" "" 0 $0
        ${If} $0 == 0
            ${Break}
        ${EndIf}
        System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE
        System::Call "kernel32::OpenProcess(i 0x101001, i 0, i r1) p .r2"
        ${If} $2 == 0
            ${Continue}
        ${EndIf}
        System::Call "kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i .r4"
        ${GetFileName} $3 $3
        ${If} $4 == 0
        ${OrIf} $3 != "tovra.exe" ; StrCmp ignores case
            System::Call "kernel32::CloseHandle(p r2)"
            ${Continue}
        ${EndIf}
        DetailPrint "Ending the running Tovra..."
        SendMessage $0 ${WM_COMMAND} ${ID_TRAY_EXIT} 0 /TIMEOUT=${EXIT_WAIT_MS}
        System::Call "kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r4"
        ${If} $4 != 0 ; not WAIT_OBJECT_0: it did not end; its files could not be replaced
            DetailPrint "Tovra did not end within ${EXIT_WAIT_MS} ms; ending it by force."
            System::Call "kernel32::TerminateProcess(p r2, i 1) i"
            System::Call "kernel32::WaitForSingleObject(p r2, i ${TERMINATE_WAIT_MS}) i"
        ${EndIf}
        System::Call "kernel32::CloseHandle(p r2)"
        StrCpy $WasRunning 1
        IntOp $5 $5 + 1
        ${If} $5 >= 8
            ${Break}
        ${EndIf}
        StrCpy $0 0 ; windows may have moved in the list: look again from the start
    ${Loop}
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; The sample template's modification time and size, to tell the installed sample from a copy the
; user has edited in place: an edited page is the user's work and is never replaced or removed.
Function ${un}SampleTemplateStamp
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    ${GetTime} "$INSTDIR\Tovra.html" "M" $0 $1 $2 $3 $4 $5 $6
    ${GetSize} "$INSTDIR" "/M=Tovra.html /S=0B /G=0" $7 $3 $3
    StrCpy $7 "$2-$1-$0 $4:$5:$6 $7"
    ; The stamp goes on top of the stack; the registers get their old values back.
    Exch $7
    Exch
    Pop $6
    Exch
    Pop $5
    Exch
    Pop $4
    Exch
    Pop $3
    Exch
    Pop $2
    Exch
    Pop $1
    Exch
    Pop $0
FunctionEnd

!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

Function .onInit
    StrCpy $WasRunning 0
    StrCpy $Started 0
    StrCpy $AutostartOff 0
    ; An update keeps the choices the user made last time; a first install ticks both.
    StrCpy $Autostart ${BST_CHECKED}
    StrCpy $Shortcuts ${BST_CHECKED}
    ; An older setup over a newer copy asks first; a silent one leaves the newer copy alone.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $0 != ""
        ${VersionCompare} $0 "${VERSION}" $1
        ${If} $1 == 1
            StrCpy $2 "Tovra $0 is installed, which is newer than the ${VERSION} this setup would put"
            MessageBox MB_YESNO|MB_ICONQUESTION "$2 in its place.$\n$\nReplace it with the older version?" \
                /SD IDNO IDYES replace_newer
            Abort
            replace_newer:
        ${EndIf}
    ${EndIf}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        ReadRegStr $1 HKCU "${RUN_KEY}" "Tovra"
        ${If} $1 == ""
            StrCpy $Autostart ${BST_UNCHECKED}
        ${Else}
            Call ReadTaskManagerSwitch
            ${If} $AutostartOff == 1
                StrCpy $Autostart ${BST_UNCHECKED}
            ${EndIf}
        ${EndIf}
        ${IfNot} ${FileExists} "${START_MENU}\Tovra.lnk"
            StrCpy $Shortcuts ${BST_UNCHECKED}
        ${EndIf}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOAUTOSTART" $1
    ${IfNot} ${Errors}
        StrCpy $Autostart ${BST_UNCHECKED}
        StrCpy $AutostartOff 0
    ${EndIf}
    Call CheckAccount
FunctionEnd

; Sets $AutostartOff when Task Manager has the Run value switched off.
Function ReadTaskManagerSwitch
    Push $0
    Push $1
    Push $2
    StrCpy $AutostartOff 0
    System::Alloc 16
    Pop $0
    ; RRF_RT_REG_BINARY: of any other type it is no switch Task Manager wrote.
    System::Call "advapi32::RegGetValueW(p 0x80000001, w '${APPROVED_KEY}', w 'Tovra', i 0x8, p 0, p r0, *i 16) i .r1"
    ${If} $1 == 0
        System::Call "*$0(&i1 .r2)"
        IntOp $2 $2 & 1
        StrCpy $AutostartOff $2
    ${EndIf}
    System::Free $0
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Started with "Run as administrator", the setup runs as the account whose password was given,
; which is not always the one logged on: a standard user's setup would then put Tovra into the
; administrator's profile, where the user never sees it start. Tovra is installed for one account
; and needs no rights, so that case is refused. An administrator who elevated their own account
; gets Tovra for that account, started by the shell without elevation (an elevated Tovra would
; not take the next setup's Exit, and would run every upload with full rights).
Function CheckAccount
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    StrCpy $Elevated 0
    Push "" ; this process
    Call ElevationOfToken
    Pop $0
    ${If} $0 == 1
        System::Call "advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN}) i"
        ; WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName: who is logged on here.
        System::Call "wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r2, *i .r3) i .r4"
        ${If} $4 != 0
            System::Call "*$2(&w${NSIS_MAX_STRLEN} .r3)"
            System::Call "wtsapi32::WTSFreeMemory(p r2)"
            ${If} $3 != ""
            ${AndIf} $3 != $1 ; StrCmp ignores case, as account names do
                MessageBox MB_OK|MB_ICONSTOP "This setup runs as administrator for the account $1, but $3 is logged on: it would install Tovra for $1.$\n$\nTovra is installed for one account and needs no administrator rights. Run the setup again without $\"Run as administrator$\"." /SD IDOK
                Abort
            ${EndIf}
        ${EndIf}
        ; Only rights the shell does not have are worth shedding (with UAC off, both have them).
        System::Call "user32::GetShellWindow() p .r2"
        ${If} $2 != 0
            System::Call "user32::GetWindowThreadProcessId(p r2, *i .r3) i"
            ; PROCESS_QUERY_LIMITED_INFORMATION
            System::Call "kernel32::OpenProcess(i 0x1000, i 0, i r3) p .r2"
            ${If} $2 != 0
                Push $2
                Call ElevationOfToken
                Pop $0
                System::Call "kernel32::CloseHandle(p r2)"
                ${If} $0 == 0
                    StrCpy $Elevated 1
                ${EndIf}
            ${EndIf}
        ${EndIf}
    ${EndIf}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; ElevationOfToken: 1 when the process (its handle on the stack; nothing for this one) runs
; elevated, 0 when not, "" when that cannot be read.
Function ElevationOfToken
    Exch $0
    Push $1
    Push $2
    Push $3
    ${If} $0 == ""
        StrCpy $0 -1 ; the current process's pseudo handle
    ${EndIf}
    ; TOKEN_QUERY; TokenElevation, whose one field is TokenIsElevated.
    System::Call "advapi32::OpenProcessToken(p r0, i 8, *p .r1) i .r2"
    StrCpy $0 ""
    ${If} $2 != 0
        System::Call "advapi32::GetTokenInformation(p r1, i 20, *i .r3, i 4, *i .r2) i .r2"
        System::Call "kernel32::CloseHandle(p r1)"
        ${If} $2 != 0
            ${If} $3 != 0
                StrCpy $0 1
            ${Else}
                StrCpy $0 0
            ${EndIf}
        ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

Function OptionsPage
    !insertmacro MUI_HEADER_TEXT "Options" "Choose how Tovra starts and where you find it."
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateCheckbox} 0 0 100% 12u "&Start Tovra when I log on"
    Pop $AutostartBox
    ${NSD_SetState} $AutostartBox $Autostart
    ${NSD_CreateLabel} 12u 14u -12u 20u "Tovra keeps your page up to date only while it runs. Recommended."
    Pop $0
    ${NSD_CreateCheckbox} 0 42u 100% 12u "Start &menu shortcuts: Tovra, Tovra Help and Uninstall Tovra"
    Pop $ShortcutsBox
    ${NSD_SetState} $ShortcutsBox $Shortcuts
    ${If} $Elevated == 1
        ${NSD_CreateLabel} 0 70u 100% 30u "This setup runs as administrator, but Tovra needs no administrator rights: it is installed for your account only, and it starts without them."
        Pop $0
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
    ${NSD_GetState} $AutostartBox $Autostart
    ${NSD_GetState} $ShortcutsBox $Shortcuts
FunctionEnd

Function StartTovra
    ; The program's folder as its current one: a relative template path means that folder too.
    SetOutPath "$INSTDIR"
    ${If} $Elevated == 1
        ; Started by the shell, which runs it as the user, not with this setup's elevated token.
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\tovra.exe"'
    ${Else}
        Exec '"$INSTDIR\tovra.exe"'
    ${EndIf}
    StrCpy $Started 1
FunctionEnd

Function StartFromFinishPage
    ${If} $Started != 1
        Call StartTovra
    ${EndIf}
FunctionEnd

Section "Tovra" SectionProgram
    SectionIn RO
    Call EndRunningTovra

    SetOutPath "$INSTDIR"
    SetOverwrite on
    File "${SOURCE_DIR}/tovra.exe"
    File "${SOURCE_DIR}/Tovra.chm"
    ${If} ${FileExists} "$INSTDIR\Tovra.html"
        Call SampleTemplateStamp
        Pop $0
        ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "SampleTemplate"
    ${Else}
        StrCpy $0 ""
        StrCpy $1 ""
    ${EndIf}
    ${If} $0 == $1
        File "${SOURCE_DIR}/Tovra.html"
        Call SampleTemplateStamp
        Pop $0
        WriteRegStr HKCU "${UNINSTALL_KEY}" "SampleTemplate" $0
    ${Else}
        DetailPrint "Keeping Tovra.html: it was changed after it was installed."
    ${EndIf}
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ${If} $Autostart == ${BST_CHECKED}
        WriteRegStr HKCU "${RUN_KEY}" "Tovra" '"$INSTDIR\tovra.exe"'
        ; Ticked here: on, whatever Task Manager said before.
        DeleteRegValue HKCU "${APPROVED_KEY}" "Tovra"
    ${ElseIf} $AutostartOff == 1
        ; Switched off in Task Manager and left so: it stays listed there, switched off.
        WriteRegStr HKCU "${RUN_KEY}" "Tovra" '"$INSTDIR\tovra.exe"'
    ${Else}
        DeleteRegValue HKCU "${RUN_KEY}" "Tovra"
        DeleteRegValue HKCU "${APPROVED_KEY}" "Tovra"
    ${EndIf}

    Delete "${START_MENU}\Tovra.lnk"
    Delete "${START_MENU}\Tovra Help.lnk"
    Delete "${START_MENU}\Uninstall Tovra.lnk"
    ${If} $Shortcuts == ${BST_CHECKED}
        CreateDirectory "${START_MENU}"
        CreateShortcut "${START_MENU}\Tovra.lnk" "$INSTDIR\tovra.exe" "" "$INSTDIR\tovra.exe" 0 \
            SW_SHOWNORMAL "" "Publishes this PC's IP address on your web site"
        CreateShortcut "${START_MENU}\Tovra Help.lnk" "$INSTDIR\Tovra.chm"
        CreateShortcut "${START_MENU}\Uninstall Tovra.lnk" "$INSTDIR\uninstall.exe"
    ${Else}
        RMDir "${START_MENU}"
    ${EndIf}

    ; Apps & Features.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tovra.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    ${If} $WasRunning == 1
        DetailPrint "Starting Tovra again..."
        Call StartTovra
    ${EndIf}
SectionEnd

Section "Uninstall"
    Call un.EndRunningTovra

    ; The program removes its own settings key and Run value; if it cannot run, the same is done
    ; here, so that nothing of Tovra stays behind but the company key.
    ClearErrors
    ${If} ${FileExists} "$INSTDIR\tovra.exe"
        ExecWait '"$INSTDIR\tovra.exe" uninstall' $0
    ${Else}
        SetErrors
    ${EndIf}
    ${If} ${Errors}
        DeleteRegValue HKCU "${RUN_KEY}" "Tovra"
        DeleteRegKey HKCU "Software\${COMPANY}\Tovra"
    ${EndIf}
    ; Task Manager's switch for the Run value that is gone now.
    DeleteRegValue HKCU "${APPROVED_KEY}" "Tovra"

    Delete "$INSTDIR\tovra.exe"
    Delete "$INSTDIR\Tovra.chm"
    ${If} ${FileExists} "$INSTDIR\Tovra.html"
        Call un.SampleTemplateStamp
        Pop $0
        ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "SampleTemplate"
        ${If} $0 == $1
            Delete "$INSTDIR\Tovra.html"
        ${EndIf}
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"

    Delete "${START_MENU}\Tovra.lnk"
    Delete "${START_MENU}\Tovra Help.lnk"
    Delete "${START_MENU}\Uninstall Tovra.lnk"
    RMDir "${START_MENU}"

    ; The log, and its folder when nothing else is in it.
    Delete "$LOCALAPPDATA\Tovra\Tovra.log"
    Delete "$LOCALAPPDATA\Tovra\Tovra.1.log"
    RMDir "$LOCALAPPDATA\Tovra"

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Not /r: files the user put there stay, and with them the folder.
    RMDir "$INSTDIR"
SectionEnd
