// The application object: gives the program its name, version and icon and runs the main window.
#pragma once

class CFlashDownloaderApp {
public:
    // Name, version and icon of the program, as the system and the windows show them.
    static void SetUpApplication();

    // Runs the main window until it ends. Returns false: the program ends with its window.
    bool InitInstance();
    int ExitInstance() const { return 0; }
};
