// Keeps a program's settings in a temporary folder of its own, so that tests (and tools that
// drive the window) neither read nor change the user's remembered choices.
#pragma once

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

class CIsolatedSettings {
public:
    // Before any settings are read: QSettings objects made earlier keep their old place.
    CIsolatedSettings() {
        s_folder = m_dir.path();
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
                QSettings::setPath(format, scope, s_folder);
            }
        }
    }
    ~CIsolatedSettings() { s_folder.clear(); }

    // Forgets every setting kept so far, so that one test doesn't see what another chose.
    static void ForgetAll() {
        if (!s_folder.isEmpty()) {
            QDir dir(s_folder);
            dir.removeRecursively();
            dir.mkpath(QStringLiteral("."));
        }
    }

private:
    QTemporaryDir m_dir;
    inline static QString s_folder;
};
