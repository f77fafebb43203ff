; The Windows installer of Ordalyn (makensis, from cmake/OrdalynWindowsPackage.cmake).
; Defines: VERSION (1.0.0.1), STAGE (folder with the files to install), OUTFILE.
; Silent use: setup.exe /S [/D=C:\path]; the uninstaller takes /S too.
; A per-user install: no administrator rights are needed, as for a tool a
; telephony engineer puts on a customer's PC for a while.
; A 64-bit installer, like the program it installs.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

Name "Ordalyn"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Ordalyn"
InstallDirRegKey HKCU "Software\Ordalyn" "InstallDir"
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
  SetShellVarContext current
FunctionEnd

Section "Ordalyn"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Ordalyn.lnk" "$INSTDIR\ordalyn.exe"
  WriteRegStr HKCU "Software\Ordalyn" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Ordalyn"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Marbleknot"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ordalyn.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetShellVarContext current
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
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Ordalyn"
SectionEnd
