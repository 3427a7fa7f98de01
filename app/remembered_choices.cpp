// Reads and writes the remembered choices through QSettings.
#include "remembered_choices.h"

#include <QSettings>
#include <QVariant>

#include "resource.h"

namespace {

constexpr char kLastPortKey[] = "LastPort";
constexpr char kLastImageFolderKey[] = "LastImageFolder";

// The program's settings in the platform's usual place for the current user.
class CStore : public QSettings {
public:
    CStore()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope,
                    QString::fromLatin1(kSettingsOrganization),
                    QString::fromLatin1(kApplicationName)) {}
};

// A corrupt file reads as nothing rather than as whatever part of it could be parsed.
QString Read(const char* key) {
    const CStore settings;
    if (settings.status() != QSettings::NoError) {
        return QString();
    }
    const QVariant value = settings.value(QString::fromLatin1(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void Write(const char* key, const QString& value) {
    CStore settings;
    settings.setValue(QString::fromLatin1(key), value);
}

}  // namespace

QString CRememberedChoices::LastPort() {
    return Read(kLastPortKey);
}

QString CRememberedChoices::LastImageFolder() {
    return Read(kLastImageFolderKey);
}

void CRememberedChoices::SetLastPort(const QString& name) {
    Write(kLastPortKey, name);
}

void CRememberedChoices::SetLastImageFolder(const QString& folder) {
    Write(kLastImageFolderKey, folder);
}
