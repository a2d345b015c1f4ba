; The Windows installer of КОРВАНИ, written by app/windows_dist.cmake:
;   makensis -DVERSION=1.2 -DFILES=<folder of the files> -DICON=<korvani.ico> -DSIZE_KB=<n> -DOUTFILE=<setup.exe>
; Per user, without administrator rights: the game goes to the user's programs folder, its Start-menu
; shortcut starts it in the user's application-data folder Korvani, where korvani.ini is kept.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"

Name "КОРВАНИ ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Korvani"
InstallDirRegKey HKCU "Software\Korvani" "InstallLocation"
BrandingText "КОРВАНИ ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvani"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunGame

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "КОРВАНИ"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка КОРВАНИ ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© 2026 the КОРВАНИ developers. MIT License."

; The rating is kept in the working folder: the shortcut's is the user's own application-data folder, which
; the user can always write, not the programs folder.
!macro GAME_FOLDER
  SetShellVarContext current
  CreateDirectory "$APPDATA\Korvani"
  SetOutPath "$APPDATA\Korvani"
!macroend

Function RunGame
  !insertmacro GAME_FOLDER
  Exec '"$INSTDIR\korvani.exe"'
FunctionEnd

Section "КОРВАНИ"
  SetOutPath "$INSTDIR"
  File "${FILES}\korvani.exe"
  File "${FILES}\README.md"
  File "${FILES}\LICENSE.txt"
  File "${FILES}\FLTK-LICENSE.txt"
  File /r "${FILES}\share"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\Korvani" "InstallLocation" "$INSTDIR"

  !insertmacro GAME_FOLDER
  CreateShortCut "$SMPROGRAMS\КОРВАНИ.lnk" "$INSTDIR\korvani.exe" "" "$INSTDIR\korvani.exe" 0

  ; Apps & features.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "КОРВАНИ"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvani.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "the КОРВАНИ developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The rating file stays: a game installed again, or the portable one pointed at the folder, plays on from
; it. Its folder goes only when nothing is left in it.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\КОРВАНИ.lnk"
  Delete "$INSTDIR\korvani.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\FLTK-LICENSE.txt"
  RMDir /r "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$APPDATA\Korvani"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Korvani"
SectionEnd
