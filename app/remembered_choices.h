// The choices the window remembers from one run to the next: the last port and the folder of the
// last image, kept where the platform keeps a program's settings.
#pragma once

#include <QString>

class CRememberedChoices {
public:
    // Empty when nothing was remembered or the settings can't be read; never a message.
    static QString LastPort();
    static QString LastImageFolder();

    static void SetLastPort(const QString& name);
    static void SetLastImageFolder(const QString& folder);
};
