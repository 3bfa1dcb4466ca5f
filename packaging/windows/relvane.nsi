; The Relvane installer: the programs and what they load into one folder, a Start-menu folder
; with the workbench and the uninstaller, and an entry under "Programs and Features". The
; uninstaller removes exactly the installed files (lists written by scripts/package-windows.sh)
; and the folders when they are empty; the user's settings and logs stay.
; makensis -DVERSION=1.50 -DSIZE_KB=n -DFILES=folder-of-the-lists -DOUTFILE=setup.exe relvane.nsi
; A 64-bit installer for 64-bit programs (it also runs where Wine has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Relvane"

Name "Relvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Relvane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\relvane.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Relvane"
  SetShellVarContext all
  !include "${FILES}\install-files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Relvane"
  CreateShortcut "$SMPROGRAMS\Relvane\Relvane.lnk" "$INSTDIR\relvane.exe" "" "$INSTDIR\relvane.exe" 0
  CreateShortcut "$SMPROGRAMS\Relvane\卸载 Relvane.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Relvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\relvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Relvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Relvane\Relvane.lnk"
  Delete "$SMPROGRAMS\Relvane\卸载 Relvane.lnk"
  RMDir "$SMPROGRAMS\Relvane"
  !include "${FILES}\uninstall-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  ; The uninstaller runs from a temporary copy, so the folder is free; it stays only when the
  ; user put files of their own into it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
