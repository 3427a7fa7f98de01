// Keeps a program's settings in a temporary folder of its own, so that tests (and tools that
// drive the window) neither read nor change the user's remembered choices.
#pragma once

#include <QSettings>
#include <QTemporaryDir>

class CIsolatedSettings {
public:
    // Before any settings are read: QSettings objects made earlier keep their old place.
    CIsolatedSettings() {
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
                QSettings::setPath(format, scope, m_dir.path());
            }
        }
    }

    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
