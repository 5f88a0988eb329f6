; The Windows installer: the programs of the Windows build, the help topics
; and the readme into Program Files\ORN, a Start menu folder, an uninstaller
; listed in Programs and Features, and an inbound firewall rule for orn.exe.
; Built by the Windows build (target orn_installer) with:
;   makensis -DVERSION=1.0 -DBUILD=<build dir> -DSOURCE=<source dir> -DFILES=<files.nsh> -DOUTFILE=<exe> orn.nsi
; FILES is written by the build: the help topics to install and to remove.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!macro Require name
  !ifndef ${name}
    !error "-D${name}=... is needed"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require BUILD
!insertmacro Require SOURCE
!insertmacro Require FILES
!insertmacro Require OUTFILE
; The window program joins the package once the build makes it.
!if /FileExists "${BUILD}/orn.exe"
  !define WITH_ORN
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORN"
!define FIREWALL_RULE "ORN"

Name "ORN ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ORN"
; Receive-all sockets, the firewall rule and HKLM need an administrator.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!include "${FILES}"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; netsh's exit status; a system without the firewall's netsh context (Wine)
; leaves the program without a rule, which is logged and not an error.
!macro Netsh what
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall ${what}'
  Pop $0
  StrCmp $0 0 +2
    DetailPrint `netsh advfirewall firewall ${what}: status $0 (the firewall rule is left as it is)`
!macroend

Section "ORN"
  SetOutPath "$INSTDIR"
!ifdef WITH_ORN
  File "${BUILD}/orn.exe"
!endif
  File "${BUILD}/orn-decode.exe"
  File "${SOURCE}/resources/windows/README.txt"
  SetOutPath "$INSTDIR\help"
  !insertmacro InstallHelp
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\ORN"
!ifdef WITH_ORN
  CreateShortcut "$SMPROGRAMS\ORN\ORN.lnk" "$INSTDIR\orn.exe"
!endif
  CreateShortcut "$SMPROGRAMS\ORN\ORN Help.lnk" "$INSTDIR\help\index.html"
  CreateShortcut "$SMPROGRAMS\ORN\ORN Readme.lnk" "$INSTDIR\README.txt"
  CreateShortcut "$SMPROGRAMS\ORN\Uninstall ORN.lnk" "$INSTDIR\Uninstall.exe"

  ; The capture sees incoming datagrams only where the firewall lets
  ; orn.exe receive them. A reinstall replaces the rule instead of adding a twin.
  !insertmacro Netsh 'delete rule name="${FIREWALL_RULE}" program="$INSTDIR\orn.exe"'
  !insertmacro Netsh 'add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\orn.exe" enable=yes'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "ORN ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ORN"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there, file by file, so nothing of the
; user's is lost; the filter set in the registry stays (as the Debian
; package's remove keeps the store).
Section "Uninstall"
  !insertmacro Netsh 'delete rule name="${FIREWALL_RULE}" program="$INSTDIR\orn.exe"'

  Delete "$SMPROGRAMS\ORN\ORN.lnk"
  Delete "$SMPROGRAMS\ORN\ORN Help.lnk"
  Delete "$SMPROGRAMS\ORN\ORN Readme.lnk"
  Delete "$SMPROGRAMS\ORN\Uninstall ORN.lnk"
  RMDir "$SMPROGRAMS\ORN"

  !insertmacro RemoveHelp
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\orn.exe"
  Delete "$INSTDIR\orn-decode.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
