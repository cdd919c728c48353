; SPDX-License-Identifier: GPL-3.0-or-later
; ostrane.nsi - the Windows installer: the three programs, the shipped
; signature database and the scanner's test file in one folder, a
; Start-menu entry that starts the program in that folder (where it finds
; vdtinfo.mdb and writes Error.log), and an uninstaller that takes all of
; it away again. scripts/package.sh --windows makes it:
;
;     makensis -DVERSION=0.6.0 -DTARGET=x86-unicode -DFILES=DIR -DOUTFILE=setup.exe ostrane.nsi
;
; TARGET is x86-unicode for the 32-bit programs, amd64-unicode for the
; 64-bit ones; DIR holds ostrane.exe, ostrane-scan.exe, ostrane-sigdb.exe,
; vdtinfo.mdb, ostrane-test-virus.exe and COPYING.txt.

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma

!define PRODUCT "Ostrane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrane"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if ${TARGET} == "amd64-unicode"
    InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
    InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; The program changes machine-wide settings; so does its installation.
RequestExecutionLevel admin
LicenseData "${FILES}\COPYING.txt"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

Section "Ostrane"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${FILES}\ostrane.exe"
    File "${FILES}\ostrane-scan.exe"
    File "${FILES}\ostrane-sigdb.exe"
    File "${FILES}\vdtinfo.mdb"
    File "${FILES}\ostrane-test-virus.exe"
    File "${FILES}\COPYING.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The shortcut starts the program in the folder of its database.
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\ostrane.exe" "" "$INSTDIR\ostrane.exe" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ostrane.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    Delete "$INSTDIR\ostrane.exe"
    Delete "$INSTDIR\ostrane-scan.exe"
    Delete "$INSTDIR\ostrane-sigdb.exe"
    Delete "$INSTDIR\vdtinfo.mdb"
    Delete "$INSTDIR\ostrane-test-virus.exe"
    Delete "$INSTDIR\COPYING.txt"
    ; What the program wrote beside its database.
    Delete "$INSTDIR\Error.log"
    Delete "$INSTDIR\uninstall.exe"
    ; Only an empty folder goes: files the user put there stay.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
