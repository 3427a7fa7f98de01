// Loads the program's built-in pictures and chooses the dialogs' font.
#include "app_resources.h"

#include <QApplication>

#include "resource.h"

// Q_INIT_RESOURCE must be used outside any namespace; the pictures live in a static library,
// whose resource initialiser the linker would otherwise leave out.
static void InitImagesResource() {
    Q_INIT_RESOURCE(afd_images);
}

void InitAppResources() {
    static const bool initialised = [] {
        InitImagesResource();
        return true;
    }();
    (void)initialised;
}

QIcon LoadAppIcon() {
    InitAppResources();
    QIcon icon;
    icon.addFile(QString::fromLatin1(kIcon32Path), QSize(32, 32));
    icon.addFile(QString::fromLatin1(kIcon16Path), QSize(16, 16));
    return icon;
}

QFont DialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(kDialogFontPointSize);
    return font;
}
