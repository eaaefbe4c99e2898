; A real installer for the end-to-end test: Acme Writer laid out as installers lay
; a product out, and an uninstaller that, as real ones do, leaves the user's settings,
; the vendor key and the log the program wrote behind.
; makensis -DPAYLOAD=<AcmeWriter program> -DOUTFILE=<setup.exe> AcmeWriter.nsi
Unicode true
Target amd64-unicode

!ifndef PAYLOAD | OUTFILE
  !error "PAYLOAD and OUTFILE must be defined"
!endif

!define PRODUCT "Acme Writer"
!define PUBLISHER "Acme Software Ltd."
!define VERSION "2.4.1"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\AcmeWriter"
!define VENDOR_KEY "SOFTWARE\Acme"
!define PRODUCT_KEY "SOFTWARE\Acme\AcmeWriter"
!define USER_KEY "Software\Acme\AcmeWriter"
!define GROUP "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Acme Writer"
  SetOutPath "$INSTDIR"
  File "/oname=AcmeWriter.exe" "${PAYLOAD}"
  File "files\Readme.txt"
  SetOutPath "$INSTDIR\Templates"
  File "files\Templates\Letter.acmew"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  ; Without /S, as real entries have it: the uninstaller asks and shows its end,
  ; and the test answers its windows as a user does.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\AcmeWriter.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" 1536
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  WriteRegStr HKLM "${VENDOR_KEY}" "InstallPath" "$INSTDIR"
  WriteRegStr HKLM "${PRODUCT_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${PRODUCT_KEY}" "Language" "zh-CN"
  WriteRegDWORD HKLM "${PRODUCT_KEY}" "Edition" 2
  WriteRegDWORD HKCU "${USER_KEY}" "ShowRuler" 1
  WriteRegStr HKCU "${USER_KEY}" "Theme" "Classic"
  WriteRegDWORD HKCU "${USER_KEY}" "RecentFiles" 8

  ; The file type, in the machine's classes (HKCR as Windows merges it).
  WriteRegStr HKLM "Software\Classes\.acmew" "" "AcmeWriter.Document"
  WriteRegStr HKLM "Software\Classes\AcmeWriter.Document" "" "Acme Writer Document"
  WriteRegStr HKLM "Software\Classes\AcmeWriter.Document\DefaultIcon" "" "$INSTDIR\AcmeWriter.exe,0"
  WriteRegStr HKLM "Software\Classes\AcmeWriter.Document\shell\open\command" "" '"$INSTDIR\AcmeWriter.exe" "%1"'

  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\AcmeWriter.exe"
  CreateDirectory "${GROUP}"
  CreateShortcut "${GROUP}\${PRODUCT}.lnk" "$INSTDIR\AcmeWriter.exe"
  CreateShortcut "${GROUP}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; Takes what the setup wrote; RMDir without /r leaves the folder while the
; program's own log is in it.
Section "Uninstall"
  Delete "$INSTDIR\AcmeWriter.exe"
  Delete "$INSTDIR\Readme.txt"
  Delete "$INSTDIR\Templates\Letter.acmew"
  RMDir "$INSTDIR\Templates"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$DESKTOP\${PRODUCT}.lnk"
  Delete "${GROUP}\${PRODUCT}.lnk"
  Delete "${GROUP}\Uninstall ${PRODUCT}.lnk"
  RMDir "${GROUP}"

  DeleteRegKey HKLM "Software\Classes\.acmew"
  DeleteRegKey HKLM "Software\Classes\AcmeWriter.Document"
  DeleteRegKey HKLM "${PRODUCT_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
