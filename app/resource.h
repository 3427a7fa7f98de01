// Identifiers and fixed texts of the program's windows: control names, the About command and the
// strings the user sees.
#pragma once

// Controls carry these as object names, so tests and accessibility tools find them.
constexpr char IDC_PORT_COMBO[] = "IDC_PORT_COMBO";
constexpr char IDC_OPEN_FILE[] = "IDC_OPEN_FILE";
constexpr char IDC_START_DOWNLOAD[] = "IDC_START_DOWNLOAD";
constexpr char IDC_PROGRESS[] = "IDC_PROGRESS";
constexpr char IDC_LOG[] = "IDC_LOG";
constexpr char IDC_FILE_PATH[] = "IDC_FILE_PATH";

// The About entry's command in the system menu; the system keeps the low four bits for itself.
constexpr unsigned IDM_ABOUTBOX = 0x0010;

constexpr char IDS_ABOUTBOX[] = "About Altrevo FLASH DOWNLOADER(&A)...";
constexpr char kMainDialogCaption[] = "Altrevo Flash Downloader V1.0";
constexpr char kAboutCaption[] = "About Altrevo Flash Downloader";
constexpr char kAboutProductLine[] = "Altrevo Flash Downloader V1.0";
constexpr char kAboutSecondLine[] = "Firmware download for hand controllers";
constexpr char kQuitQuestion[] = "Are you sure you want to quit Altrevo Flash Downloader?";
constexpr char kQuitQuestionCaption[] = "Message";
constexpr char kOtherPortEntry[] = "Other port...";
constexpr char kOpenFileFilter[] = "Bin File ( *.bin)";
constexpr char kApplicationName[] = "Altrevo Flash Downloader";
// Where the remembered port and image folder are kept, with the application's name.
constexpr char kSettingsOrganization[] = "Altrevo";

// The dialogs' font; the face is the platform's usual one.
constexpr int kDialogFontPointSize = 9;

// Resource paths of the pictures built into the program.
constexpr char kIcon32Path[] = ":/res/icon32.png";
constexpr char kIcon16Path[] = ":/res/icon16.png";
constexpr char kLogoPath[] = ":/res/logo.png";
