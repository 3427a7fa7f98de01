// The About box: the program's icon, name and version, and an OK button.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    QLabel m_staticIcon;
    QLabel m_staticProduct;
    QLabel m_staticSecondLine;
    QPushButton m_btnOK;
};
