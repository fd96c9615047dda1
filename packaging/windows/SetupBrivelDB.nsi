; The interactive setup of the Windows folder, in Brazilian Portuguese, built by
; scripts/package-windows.sh with Debian's makensis. Pages: welcome, the folder
; (by default the API's, C:\Brivel\API, where configApi.ini lives; never under
; Program Files, which the program could not write), install, finish with the
; option to start the wizard. The uninstaller removes only what the setup put
; there, so configApi.ini (written by the program) and the folder holding it stay.
; Silent: Setup.exe /S /D=C:\Pasta  (/D last, unquoted);  uninstall: "Desinstalar SetupBrivelDB.exe" /S
; Defines: VERSION, ARCH (i686|x86_64), OUTFILE, ICON, FILES (File lines), UNFILES (Delete lines).
Unicode true
!if "${ARCH}" == "x86_64"
  Target amd64-unicode
!endif
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "SetupBrivelDB"
!define UNINSTALLER "Desinstalar SetupBrivelDB.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\SetupBrivelDB"
!define FOLDER_KEY "Software\Brivel\SetupBrivelDB"

Name "${PRODUCT}"
Caption "Instalação do ${PRODUCT} ${VERSION}"
UninstallCaption "Desinstalação do ${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "C:\Brivel\API"
; A later setup offers the folder chosen before.
InstallDirRegKey HKLM "${FOLDER_KEY}" "SetupInstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Brivel"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1046 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1046 "CompanyName" "Brivel"
VIAddVersionKey /LANG=1046 "FileDescription" "Instalação do ${PRODUCT}"
VIAddVersionKey /LANG=1046 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "LegalCopyright" "Brivel"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Bem-vindo à instalação do ${PRODUCT}"
!define MUI_WELCOMEPAGE_TEXT "O ${PRODUCT} prepara o banco de dados da API Brivel: testa a conexão, grava o configApi.ini e cria as tabelas da API.$\r$\n$\r$\nInstale-o na pasta da API, onde fica o configApi.ini que a API lê.$\r$\n$\r$\nClique em Próximo para continuar."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Escolha a pasta da API Brivel. O ${PRODUCT} grava nela o arquivo configApi.ini, por isso a pasta deve ser a da API e gravável por quem usa o programa (evite Arquivos de Programas)."
!define MUI_FINISHPAGE_RUN "$INSTDIR\SetupBrivelDB.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir o ${PRODUCT} agora"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

Function .onInit
!if "${ARCH}" == "x86_64"
  SetRegView 64
!endif
FunctionEnd

Function un.onInit
!if "${ARCH}" == "x86_64"
  SetRegView 64
!endif
FunctionEnd

Section "${PRODUCT}"
  SetShellVarContext all
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\SetupBrivelDB.exe" "" "$INSTDIR\SetupBrivelDB.exe" 0 \
    SW_SHOWNORMAL "" "Prepara o banco de dados da API Brivel"
  WriteRegStr HKLM "${FOLDER_KEY}" "SetupInstallDir" "$INSTDIR"
  ; The entry in Windows' installed programs.
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Brivel"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\SetupBrivelDB.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Only the setup's own files: configApi.ini and whatever else is there stay.
  !include "${UNFILES}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegValue HKLM "${FOLDER_KEY}" "SetupInstallDir"
  DeleteRegKey /ifempty HKLM "${FOLDER_KEY}"
SectionEnd
