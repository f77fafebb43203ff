; The Windows installer of Ordalyn (makensis, from cmake/OrdalynWindowsPackage.cmake).
; Defines: VERSION (1.0.0.1), STAGE (folder with the files to install), OUTFILE.
; Silent use: setup.exe /S [/D=C:\path]; the uninstaller takes /S too.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
!include "x64.nsh"

Name "Ordalyn"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Ordalyn"
InstallDirRegKey HKLM "Software\Ordalyn" "InstallDir"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Ordalyn"
VIAddVersionKey "CompanyName" "Marbleknot"
VIAddVersionKey "FileDescription" "Ordalyn setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 Marbleknot"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ordalyn"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${STAGE}\LICENSE.txt"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Ordalyn needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Section "Ordalyn"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Ordalyn.lnk" "$INSTDIR\ordalyn.exe"
  WriteRegStr HKLM "Software\Ordalyn" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Ordalyn"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marbleknot"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ordalyn.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Ordalyn.lnk"
  RMDir /r "$INSTDIR\examples"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\ordalyn.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Ordalyn"
SectionEnd
