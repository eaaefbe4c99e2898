; A real Nullsoft uninstaller for the tests that tell one by its file: this setup,
; run with /S, writes uninst.exe beside itself; the uninstaller removes nothing.
; makensis -DOUTFILE=<setup.exe> NullsoftUninstaller.nsi
Unicode true
Target amd64-unicode

!ifndef OUTFILE
  !error "OUTFILE must be defined"
!endif

Name "Nullsoft uninstaller sample"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Section
  WriteUninstaller "$EXEDIR\uninst.exe"
SectionEnd

Section "Uninstall"
SectionEnd
