// The About box, laid out in dialog units like the main window.
#include "about_dlg.h"

#include "app_resources.h"
#include "dialog_units.h"
#include "resource.h"

namespace {
constexpr QSize kAboutSize(235, 55);
constexpr QRect kIconRect(11, 17, 20, 20);
constexpr QRect kProductRect(40, 10, 119, 8);
constexpr QRect kSecondLineRect(40, 25, 181, 8);
constexpr QRect kOKRect(178, 7, 50, 14);
// An icon static takes the size of its icon, whatever the template says.
constexpr int kIconSize = 32;
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_staticIcon(this),
      m_staticProduct(QString::fromLatin1(kAboutProductLine), this),
      m_staticSecondLine(QString::fromLatin1(kAboutSecondLine), this),
      m_btnOK(QStringLiteral("OK"), this) {
    setObjectName(QStringLiteral("IDD_ABOUTBOX"));
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    setFont(DialogFont());
    const DialogBaseUnits units = DialogBaseUnitsOf(font());
    setFixedSize(MapDialogSize(kAboutSize, units));

    const QRect iconRect = MapDialogRect(kIconRect, units);
    m_staticIcon.setGeometry(iconRect.x(), iconRect.y(), kIconSize, kIconSize);
    m_staticIcon.setPixmap(LoadAppIcon().pixmap(kIconSize, kIconSize));

    // An ampersand in the product name shows as itself.
    for (QLabel* label : {&m_staticProduct, &m_staticSecondLine}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    m_staticProduct.setGeometry(MapDialogRect(kProductRect, units));
    m_staticSecondLine.setGeometry(MapDialogRect(kSecondLineRect, units));

    m_btnOK.setObjectName(QStringLiteral("IDOK"));
    m_btnOK.setGeometry(MapDialogRect(kOKRect, units));
    m_btnOK.setDefault(true);
    m_btnOK.setFocus();
    connect(&m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
}
