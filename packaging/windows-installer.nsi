; TeskDelay's installer for 64-bit and 32-bit Windows, one file for both.
; scripts/package --windows makes it:
;
;   makensis -DVERSION=1.2.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe> windows-installer.nsi
;
; STAGE is the folder the Windows zip is made of: TeskDelay.vst3\ (both
; processors' modules), x64\ and x86\ (TeskDelay.clap and the VST 2
; TeskDelay.dll of each), Manual.txt and LICENSE.txt. -DTARGET=amd64-unicode
; makes the same installer as a 64-bit program (the tests run that one where
; only 64-bit Wine is at hand); users get the 32-bit one, which runs on both.
;
; Where each format goes, from each format's own rules for Windows:
; - VST 3: hosts look in %CommonProgramFiles%\VST3; on 64-bit Windows that is
;   C:\Program Files\Common Files\VST3 for 64-bit plug-ins, and
;   C:\Program Files (x86)\Common Files\VST3 is the place for 32-bit plug-ins.
;   The bundle with both modules goes into the first (on 32-bit Windows that
;   folder is the 32-bit one, and the host takes Contents\x86-win); on 64-bit
;   Windows a bundle with only the 32-bit module goes into the second, for
;   32-bit hosts, so that a 64-bit host scanning both never finds a module twice.
; - CLAP: hosts look in %COMMONPROGRAMFILES%\CLAP as the host process sees it,
;   which for a 32-bit process on 64-bit Windows is the (x86) Common Files. So
;   the 64-bit TeskDelay.clap goes into Common Files\CLAP and the 32-bit one
;   into Common Files (x86)\CLAP; on 32-bit Windows the 32-bit one goes into
;   Common Files\CLAP.
; - VST 2 has no fixed place: each DLL goes into a folder the user picks (the
;   64-bit and the 32-bit one have the same name, so each has a folder of its
;   own), by default the shared folder in HKLM\Software\VST VSTPluginsPath when
;   set, else Program Files\VSTPlugins, which common hosts scan.
;
; Everything it puts is written into installed-files.txt beside the
; uninstaller: "F <path>" for a file, "D <path>" for a folder it made. The
; uninstaller removes exactly those; an update removes the files of the
; previous install that it did not put back. Before anything is written or
; deleted every file that will be replaced or removed is opened for writing:
; one that a host holds open stops the install (or uninstall) with Retry and
; Cancel, before any change.
;
; Command line: /S installs silently with the defaults (VST 3 and CLAP, or on
; an update the formats installed before); /FORMATS=vst3,clap,vst2-64,vst2-32
; picks the formats; /VST2DIR64=<folder> and /VST2DIR32=<folder> the VST 2
; folders. Exit status 0 when installed, 1 when cancelled, 2 when stopped (a
; file in use, an unknown format, a VST 2 folder that is no full path or one
; folder for both).

!ifndef VERSION | STAGE | OUTFILE
  !error "windows-installer.nsi needs -DVERSION=, -DSTAGE= and -DOUTFILE= (see the top of the file)"
!endif
!ifdef TARGET
  Target ${TARGET}
!else
  Unicode true
!endif

!define PRODUCT "TeskDelay"
!define PUBLISHER "Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SETTINGS_KEY "Software\${PUBLISHER}\${PRODUCT}"
!define LIST "installed-files.txt"

; The name users look for; the manifest's execution level keeps Windows from
; guessing an installer from the name, which is what warning 9000 is about.
!pragma warning disable 9000
; LogicLib's ${If} blocks with ${AndIf} leave labels unused.
!pragma warning disable 6012

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include TextFunc.nsh
!include Sections.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
InstallDir "$PROGRAMFILES64\${PUBLISHER}\${PRODUCT}"
BrandingText "${PUBLISHER}"
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be written stops the install (Retry or Cancel); none is skipped.
AllowSkipFiles off

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) ${PUBLISHER}, MIT licence"

LicenseData "${STAGE}\LICENSE.txt"
ComponentText "Choose the plug-in formats your hosts load. VST 3: Cubase, Nuendo, Studio One, \
  Audacity 4, MuseScore 4 and most hosts today. CLAP: Bitwig Studio, REAPER, FL Studio. \
  VST 2: older hosts that load neither."

Var CommonNative ; Common Files of the machine's own processor
Var CommonX86    ; Common Files (x86) on 64-bit Windows, empty on 32-bit Windows
Var ProgramsX86  ; Program Files (x86) on 64-bit Windows, Program Files on 32-bit Windows
Var Clap32Dir    ; where 32-bit CLAP hosts look
Var Vst2Dir64
Var Vst2Dir32
Var List         ; the handle of the list being written
Var Bytes        ; what the installed files take

Page license
Page components
PageEx directory
  PageCallbacks skipUnlessVst2x64
  DirVar $Vst2Dir64
  DirText "Setup puts the VST 2 plug-in for 64-bit hosts (TeskDelay.dll) into this folder. \
    Choose the folder your 64-bit hosts scan for VST 2 plug-ins." \
    "VST 2 folder for 64-bit hosts"
PageExEnd
PageEx directory
  PageCallbacks skipUnlessVst2x86
  DirVar $Vst2Dir32
  DirText "Setup puts the VST 2 plug-in for 32-bit hosts (TeskDelay.dll) into this folder. \
    Choose the folder your 32-bit hosts scan for VST 2 plug-ins; it must not be the 64-bit one." \
    "VST 2 folder for 32-bit hosts"
PageExEnd
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---------------------------------------------------------------- the list

; Makes the folder on the stack and each missing one above it, outermost first,
; writing "D <folder>" into the list for each one made here.
Function MakeDirs
  Exch $0
  Push $1
  ${IfNot} ${FileExists} "$0\*.*"
    ${GetParent} $0 $1
    ${If} $1 != ""
      Push $1
      Call MakeDirs
    ${EndIf}
    ClearErrors
    CreateDirectory $0
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "Setup could not make the folder$\r$\n$0" /SD IDOK
      Abort
    ${EndIf}
    FileWriteUTF16LE $List "D $0$\r$\n"
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Puts STAGE\SOURCE\NAME into FOLDER and writes it into the list.
!macro InstallFile SOURCE NAME FOLDER
  Push "${FOLDER}"
  Call MakeDirs
  SetOutPath "${FOLDER}"
  File "${STAGE}\${SOURCE}\${NAME}"
  FileWriteUTF16LE $List "F ${FOLDER}\${NAME}$\r$\n"
!macroend

; Stops, before anything changes, while FILE cannot be opened for writing.
!macro EnsureFreeFile SOURCE NAME FOLDER
  Push "${FOLDER}\${NAME}"
  Call EnsureFree
!macroend

; Waits for the file on the stack to be free: a host that has the plug-in
; loaded keeps its DLL from being written or deleted. Retry tries again,
; Cancel (and a silent install) stops with nothing changed.
!macro EnsureFreeBody
  Exch $0
  Push $1
  ${If} ${FileExists} $0
    ${Do}
      ClearErrors
      FileOpen $1 $0 a
      ${IfNot} ${Errors}
        FileClose $1
        ${ExitDo}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "This file of ${PRODUCT} is in use:$\r$\n$\r$\n$0$\r$\n$\r$\nA host (DAW) that has \
        ${PRODUCT} loaded keeps it open. Close that program, then choose Retry. \
        Cancel stops here and changes nothing." /SD IDCANCEL IDRETRY retry
      DetailPrint "In use, nothing changed: $0"
      Abort "$0 is in use: nothing was changed"
      retry:
    ${Loop}
  ${EndIf}
  Pop $1
  Pop $0
!macroend
Function EnsureFree
  !insertmacro EnsureFreeBody
FunctionEnd
Function un.EnsureFree
  !insertmacro EnsureFreeBody
FunctionEnd

; A list line on the stack: the file of an "F" line must be free.
!macro EnsureListedFreeBody UN
  Exch $0
  Push $1
  StrCpy $1 $0 2
  ${If} $1 == "F "
    StrCpy $0 $0 "" 2
    Push $0
    Call ${UN}EnsureFree
  ${EndIf}
  Pop $1
  Pop $0
!macroend

; Calls FUNCTION with each line of the list at PATH ("F <path>" or "D <path>")
; on the stack; FUNCTION pops it. A missing list has no lines.
!macro ForEachListed PATH FUNCTION
  Push $0
  Push $1
  ClearErrors
  FileOpen $0 "${PATH}" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileReadUTF16LE $0 $1
      ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
      ${TrimNewLines} $1 $1
      Push $1
      Call ${FUNCTION}
    ${Loop}
    FileClose $0
  ${EndIf}
  Pop $1
  Pop $0
!macroend

; ---------------------------------------------------------------- what goes where

; The files of each format as ACTION SOURCE NAME FOLDER, ACTION being
; InstallFile or EnsureFreeFile.
!macro Vst3Files ACTION
  !insertmacro ${ACTION} "TeskDelay.vst3\Contents\Resources" "moduleinfo.json" \
    "$CommonNative\VST3\TeskDelay.vst3\Contents\Resources"
  !insertmacro ${ACTION} "TeskDelay.vst3\Contents\x86_64-win" "TeskDelay.vst3" \
    "$CommonNative\VST3\TeskDelay.vst3\Contents\x86_64-win"
  !insertmacro ${ACTION} "TeskDelay.vst3\Contents\x86-win" "TeskDelay.vst3" \
    "$CommonNative\VST3\TeskDelay.vst3\Contents\x86-win"
  ${If} $CommonX86 != ""
    !insertmacro ${ACTION} "TeskDelay.vst3\Contents\Resources" "moduleinfo.json" \
      "$CommonX86\VST3\TeskDelay.vst3\Contents\Resources"
    !insertmacro ${ACTION} "TeskDelay.vst3\Contents\x86-win" "TeskDelay.vst3" \
      "$CommonX86\VST3\TeskDelay.vst3\Contents\x86-win"
  ${EndIf}
!macroend
!macro ClapFiles ACTION
  ${If} $CommonX86 != ""
    !insertmacro ${ACTION} "x64" "TeskDelay.clap" "$CommonNative\CLAP"
  ${EndIf}
  !insertmacro ${ACTION} "x86" "TeskDelay.clap" "$Clap32Dir"
!macroend
!macro Vst2x64Files ACTION
  !insertmacro ${ACTION} "x64" "TeskDelay.dll" "$Vst2Dir64"
!macroend
!macro Vst2x86Files ACTION
  !insertmacro ${ACTION} "x86" "TeskDelay.dll" "$Vst2Dir32"
!macroend
!macro ManualFiles ACTION
  !insertmacro ${ACTION} "." "Manual.txt" "$INSTDIR"
  !insertmacro ${ACTION} "." "LICENSE.txt" "$INSTDIR"
!macroend

; ---------------------------------------------------------------- sections

Section "-Prepare"
  Call EnsureNothingInUse
  InitPluginsDir
  FileOpen $List "$PLUGINSDIR\${LIST}" w
  FileWriteUTF16LE /BOM $List ""
  ; Folders an earlier install made stay ours.
  !insertmacro ForEachListed "$INSTDIR\${LIST}" KeepMadeDir
SectionEnd

Section "VST 3" SecVst3
  !insertmacro Vst3Files InstallFile
SectionEnd

Section "CLAP" SecClap
  !insertmacro ClapFiles InstallFile
SectionEnd

Section /o "VST 2 for 64-bit hosts" SecVst2x64
  !insertmacro Vst2x64Files InstallFile
SectionEnd

Section /o "VST 2 for 32-bit hosts" SecVst2x86
  !insertmacro Vst2x86Files InstallFile
SectionEnd

Section "Manual" SecManual
  SectionIn RO
  !insertmacro ManualFiles InstallFile
SectionEnd

Section "-Finish"
  Push "$INSTDIR"
  Call MakeDirs
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  FileClose $List
  ; What the previous install put and this one did not put back goes.
  !insertmacro ForEachListed "$INSTDIR\${LIST}" RemoveIfNotReinstalled
  CopyFiles /SILENT "$PLUGINSDIR\${LIST}" "$INSTDIR\${LIST}"
  Call Register
SectionEnd

; ---------------------------------------------------------------- functions

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $CommonNative $COMMONFILES64
    ; The (x86) folders as 64-bit Windows names them in its own view of the
    ; registry, the one this installer reads as a 32-bit or a 64-bit program.
    ReadRegStr $CommonX86 HKLM "Software\Microsoft\Windows\CurrentVersion" "CommonFilesDir (x86)"
    ${IfThen} $CommonX86 == "" ${|} StrCpy $CommonX86 $COMMONFILES32 ${|}
    ReadRegStr $ProgramsX86 HKLM "Software\Microsoft\Windows\CurrentVersion" "ProgramFilesDir (x86)"
    ${IfThen} $ProgramsX86 == "" ${|} StrCpy $ProgramsX86 $PROGRAMFILES32 ${|}
  ${Else}
    StrCpy $CommonNative $COMMONFILES32
    StrCpy $CommonX86 ""
    StrCpy $ProgramsX86 $PROGRAMFILES32
    ; A 64-bit DLL has no host on 32-bit Windows.
    !insertmacro UnselectSection ${SecVst2x64}
    !insertmacro SetSectionFlag ${SecVst2x64} ${SF_RO}
  ${EndIf}
  ${If} $CommonX86 != ""
    StrCpy $Clap32Dir "$CommonX86\CLAP"
  ${Else}
    StrCpy $Clap32Dir "$CommonNative\CLAP"
  ${EndIf}
  Call DefaultVst2Dirs
  Call Remembered
  Call CommandLine
  ${If} ${Silent}
    Call CheckSilentFolders
  ${EndIf}
FunctionEnd

; The directory pages check the VST 2 folders as they are chosen; a silent
; install checks those of the command line here: each one a full path, and
; not one folder for both (the two DLLs have one name).
Function CheckSilentFolders
  ${If} ${SectionIsSelected} ${SecVst2x64}
    Push $Vst2Dir64
    Call CheckFullPath
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst2x86}
    Push $Vst2Dir32
    Call CheckFullPath
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst2x64}
  ${AndIf} ${SectionIsSelected} ${SecVst2x86}
  ${AndIf} $Vst2Dir64 == $Vst2Dir32
    MessageBox MB_OK|MB_ICONSTOP "The 64-bit and the 32-bit VST 2 plug-in need folders of their own." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; Stops the installer unless the folder on the stack is a full path: a drive's
; (C:\...) or a share's (\\server\...).
Function CheckFullPath
  Exch $0
  Push $1
  StrCpy $1 $0 2 1
  ${If} $1 != ":\"
    StrCpy $1 $0 2
    ${If} $1 != "\\"
      MessageBox MB_OK|MB_ICONSTOP "'$0' is not a full path to a folder, such as C:\VSTPlugins." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; The VST 2 folders: the shared one of each view of the registry where set,
; else Program Files\VSTPlugins.
Function DefaultVst2Dirs
  StrCpy $Vst2Dir64 "$PROGRAMFILES64\VSTPlugins"
  StrCpy $Vst2Dir32 "$ProgramsX86\VSTPlugins"
  ${If} ${RunningX64}
    ReadRegStr $0 HKLM "Software\VST" "VSTPluginsPath"
    ${IfThen} $0 != "" ${|} StrCpy $Vst2Dir64 $0 ${|}
    SetRegView 32
  ${EndIf}
  ReadRegStr $0 HKLM "Software\VST" "VSTPluginsPath"
  ${IfThen} $0 != "" ${|} StrCpy $Vst2Dir32 $0 ${|}
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

; An update goes where the previous install went, with its formats.
Function Remembered
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${IfThen} $0 != "" ${|} StrCpy $INSTDIR $0 ${|}
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Vst2Dir64"
  ${IfThen} $0 != "" ${|} StrCpy $Vst2Dir64 $0 ${|}
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Vst2Dir32"
  ${IfThen} $0 != "" ${|} StrCpy $Vst2Dir32 $0 ${|}
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Formats"
  ${If} $0 != ""
    Push $0
    Call SelectFormats
  ${EndIf}
FunctionEnd

Function CommandLine
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/VST2DIR64=" $0
  ${IfNot} ${Errors}
    StrCpy $Vst2Dir64 $0
  ${EndIf}
  ClearErrors
  ${GetOptions} $1 "/VST2DIR32=" $0
  ${IfNot} ${Errors}
    StrCpy $Vst2Dir32 $0
  ${EndIf}
  ClearErrors
  ${GetOptions} $1 "/FORMATS=" $0
  ${IfNot} ${Errors}
    Push $0
    Call SelectFormats
  ${EndIf}
FunctionEnd

; Selects exactly the formats named on the stack ("vst3,clap,vst2-64,vst2-32",
; any of them, any order). An unknown name stops the installer; vst2-64 is
; passed over on 32-bit Windows, so that one command line serves every machine.
Function SelectFormats
  Exch $0
  Push $1
  Push $2
  !insertmacro UnselectSection ${SecVst3}
  !insertmacro UnselectSection ${SecClap}
  !insertmacro UnselectSection ${SecVst2x64}
  !insertmacro UnselectSection ${SecVst2x86}
  StrCpy $0 "$0,"
  ${Do}
    StrCpy $1 ""
    ${Do}
      StrCpy $2 $0 1
      StrCpy $0 $0 "" 1
      ${IfThen} $2 == "," ${|} ${ExitDo} ${|}
      StrCpy $1 "$1$2"
    ${Loop}
    ${Select} $1
      ${Case} "vst3"
        !insertmacro SelectSection ${SecVst3}
      ${Case} "clap"
        !insertmacro SelectSection ${SecClap}
      ${Case} "vst2-64"
        ${If} ${RunningX64}
          !insertmacro SelectSection ${SecVst2x64}
        ${EndIf}
      ${Case} "vst2-32"
        !insertmacro SelectSection ${SecVst2x86}
      ${Case} ""
      ${CaseElse}
        MessageBox MB_OK|MB_ICONSTOP "Unknown format '$1': use vst3, clap, vst2-64 and vst2-32, \
          separated by commas." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndSelect}
  ${LoopUntil} $0 == ""
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function skipUnlessVst2x64
  ${IfNot} ${SectionIsSelected} ${SecVst2x64}
    Abort
  ${EndIf}
FunctionEnd

Function skipUnlessVst2x86
  ${IfNot} ${SectionIsSelected} ${SecVst2x86}
    Abort
  ${EndIf}
FunctionEnd

; The 32-bit DLL has the 64-bit one's name: one folder for both would leave one.
Function .onVerifyInstDir
  ${If} ${SectionIsSelected} ${SecVst2x64}
  ${AndIf} ${SectionIsSelected} ${SecVst2x86}
  ${AndIf} $Vst2Dir64 == $Vst2Dir32
    Abort
  ${EndIf}
FunctionEnd

; Every file this install replaces and every file of the previous install it
; may remove must be free before anything is written.
Function EnsureNothingInUse
  ${If} ${SectionIsSelected} ${SecVst3}
    !insertmacro Vst3Files EnsureFreeFile
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecClap}
    !insertmacro ClapFiles EnsureFreeFile
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst2x64}
    !insertmacro Vst2x64Files EnsureFreeFile
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst2x86}
    !insertmacro Vst2x86Files EnsureFreeFile
  ${EndIf}
  !insertmacro ForEachListed "$INSTDIR\${LIST}" EnsureListedFree
FunctionEnd

Function EnsureListedFree
  !insertmacro EnsureListedFreeBody ""
FunctionEnd

; "D <path>" of the previous list goes into the new one.
Function KeepMadeDir
  Exch $0
  Push $1
  StrCpy $1 $0 2
  ${If} $1 == "D "
    FileWriteUTF16LE $List "$0$\r$\n"
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; "F <path>" of the previous list: deleted unless the new list has it too.
Function RemoveIfNotReinstalled
  Exch $0
  Push $1
  StrCpy $1 $0 2
  ${If} $1 == "F "
    Push $0
    Call InNewList
    Pop $1
    ${If} $1 == 0
      StrCpy $0 $0 "" 2
      Delete $0
      DetailPrint "Removed, no longer installed: $0"
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; 1 when the line on the stack is in the new list (paths compared as Windows
; does, regardless of case), else 0.
Function InNewList
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 0
  FileOpen $1 "$PLUGINSDIR\${LIST}" r
  ${Do}
    ClearErrors
    FileReadUTF16LE $1 $2
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    ${TrimNewLines} $2 $2
    ${If} $2 == $0
      StrCpy $3 1
      ${ExitDo}
    ${EndIf}
  ${Loop}
  FileClose $1
  StrCpy $0 $3
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Adds ",NAME" to $0 when SECTION is selected.
!macro AddFormat SECTION NAME
  ${If} ${SectionIsSelected} ${SECTION}
    StrCpy $0 "$0,${NAME}"
  ${EndIf}
!macroend

; Adds the size of the file on the stack to $Bytes.
Function AddSize
  Exch $0
  Push $1
  Push $2
  ClearErrors
  FileOpen $1 $0 r
  ${IfNot} ${Errors}
    FileSeek $1 0 END $2
    FileClose $1
    IntOp $Bytes $Bytes + $2
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; An "F" line's file counts into $Bytes.
Function AddListedSize
  Exch $0
  Push $1
  StrCpy $1 $0 2
  ${If} $1 == "F "
    StrCpy $0 $0 "" 2
    Push $0
    Call AddSize
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Apps lists it with its uninstaller; the formats and VST 2 folders are kept
; for the next update.
Function Register
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; What the install put takes, in KiB, as Apps shows it.
  StrCpy $Bytes 0
  !insertmacro ForEachListed "$INSTDIR\${LIST}" AddListedSize
  Push "$INSTDIR\${LIST}"
  Call AddSize
  Push "$INSTDIR\uninstall.exe"
  Call AddSize
  IntOp $0 $Bytes / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  StrCpy $0 ""
  !insertmacro AddFormat ${SecVst3} "vst3"
  !insertmacro AddFormat ${SecClap} "clap"
  !insertmacro AddFormat ${SecVst2x64} "vst2-64"
  !insertmacro AddFormat ${SecVst2x86} "vst2-32"
  StrCpy $0 $0 "" 1
  WriteRegStr HKLM "${SETTINGS_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${SETTINGS_KEY}" "Formats" $0
  DeleteRegValue HKLM "${SETTINGS_KEY}" "Vst2Dir64"
  DeleteRegValue HKLM "${SETTINGS_KEY}" "Vst2Dir32"
  ${If} ${SectionIsSelected} ${SecVst2x64}
    WriteRegStr HKLM "${SETTINGS_KEY}" "Vst2Dir64" $Vst2Dir64
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst2x86}
    WriteRegStr HKLM "${SETTINGS_KEY}" "Vst2Dir32" $Vst2Dir32
  ${EndIf}
FunctionEnd


; ---------------------------------------------------------------- uninstaller

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro ForEachListed "$INSTDIR\${LIST}" un.EnsureListedFree
  ; Files go first, then the folders, innermost first: the list has them
  ; outermost first, and the stack hands them back the other way round.
  Push "|"
  ClearErrors
  FileOpen $0 "$INSTDIR\${LIST}" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileReadUTF16LE $0 $1
      ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
      ${TrimNewLines} $1 $1
      StrCpy $2 $1 2
      StrCpy $1 $1 "" 2
      ${If} $2 == "F "
        Delete $1
      ${ElseIf} $2 == "D "
        Push $1
      ${EndIf}
    ${Loop}
    FileClose $0
  ${EndIf}
  Delete "$INSTDIR\${LIST}"
  Delete "$INSTDIR\uninstall.exe"
  ${Do}
    Pop $0
    ${IfThen} $0 == "|" ${|} ${ExitDo} ${|}
    RMDir $0
  ${Loop}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${PUBLISHER}"
SectionEnd

Function un.EnsureListedFree
  !insertmacro EnsureListedFreeBody un.
FunctionEnd
