// The serial port list: its entries, how the user chooses among them, and the reported ports
// following what the system says.
#include "port_combo_box.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <algorithm>
#include <set>
#include <string>

#include "resource.h"

namespace {

constexpr int kNumberedPorts = 9;  // "COM1" to "COM9"
constexpr int kPortNameRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

QString PortEntryText(const QString& name, const QString& description) {
    return description.isEmpty() ? name : name + QStringLiteral(" (") + description + ')';
}

std::string Device(const QString& name) {
    return ResolvePortName(name.toStdString());
}

}  // namespace

CPortComboBox::CPortComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, &CPortComboBox::OnCurrentIndexChanged);
    connect(this, &QComboBox::activated, this, &CPortComboBox::OnActivated);
}

void CPortComboBox::Fill(const std::vector<SerialPortEntry>& reported) {
    const QSignalBlocker quiet(this);
    clear();
    for (int n = 1; n <= kNumberedPorts; ++n) {
        InsertEntry(count(), QStringLiteral("COM%1").arg(n), QString(), EntryKind::Numbered);
    }
    for (const SerialPortEntry& port : reported) {
        const QString name = QString::fromStdString(port.name);
        if (IndexOfPort(name) < 0) {
            InsertEntry(count(), name, QString::fromStdString(port.description),
                        EntryKind::Reported);
        }
    }
    // Last, an entry that asks for any other port by name; it carries no port name itself.
    InsertEntry(count(), QString(), QString(), EntryKind::Other);
    setCurrentIndex(0);
    m_strCurrentPort = PortNameAt(0);
    setToolTip(currentText());
}

void CPortComboBox::InsertEntry(int index, const QString& name, const QString& description,
                                EntryKind kind) {
    const QString text = kind == EntryKind::Other ? QString::fromLatin1(kOtherPortEntry)
                                                  : PortEntryText(name, description);
    const QSignalBlocker quiet(this);  // inserting may move the current index
    insertItem(index, text, name);
    setItemData(index, static_cast<int>(kind), kKindRole);
    setItemData(index, text, Qt::ToolTipRole);
}

int CPortComboBox::AddPortEntry(const QString& name, const QString& description) {
    const int listed = IndexOfPort(name);
    if (listed >= 0) {
        if (KindAt(listed) == EntryKind::Reported) {
            setItemData(listed, static_cast<int>(EntryKind::Named), kKindRole);
        }
        return listed;
    }
    const int index = OtherPortIndex();
    InsertEntry(index, name, description, EntryKind::Named);
    return index;
}

QString CPortComboBox::PortNameAt(int index) const {
    return itemData(index, kPortNameRole).toString();
}

CPortComboBox::EntryKind CPortComboBox::KindAt(int index) const {
    return static_cast<EntryKind>(itemData(index, kKindRole).toInt());
}

bool CPortComboBox::IsOtherPortEntry(int index) const {
    return index >= 0 && KindAt(index) == EntryKind::Other;
}

int CPortComboBox::IndexOfPort(const QString& name) const {
    if (name.isEmpty()) {
        return -1;
    }
    const std::string device = Device(name);
    for (int i = 0; i < count(); ++i) {
        if (!IsOtherPortEntry(i) && Device(PortNameAt(i)) == device) {
            return i;
        }
    }
    return -1;
}

bool CPortComboBox::SelectPort(const QString& name) {
    const int index = IndexOfPort(name);
    if (index < 0) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

void CPortComboBox::UpdateReportedPorts(const std::vector<SerialPortEntry>& reported,
                                        const QString& keep) {
    std::set<std::string> present;
    for (const SerialPortEntry& port : reported) {
        present.insert(ResolvePortName(port.name));
    }
    const bool otherShown = IsOtherPortEntry(currentIndex());
    const int indexBefore = currentIndex();
    bool changed = false;
    {
        const QSignalBlocker quiet(this);
        const std::string kept = keep.isEmpty() ? std::string() : Device(keep);
        for (int i = count() - 1; i >= 0; --i) {
            const std::string device = Device(PortNameAt(i));
            if (KindAt(i) == EntryKind::Reported && present.count(device) == 0 && device != kept) {
                removeItem(i);
                changed = true;
            }
        }
        // New ports go after the last reported (or numbered) one, before the ports typed in.
        int insertAt = 0;
        while (insertAt < count() && (KindAt(insertAt) == EntryKind::Numbered ||
                                      KindAt(insertAt) == EntryKind::Reported)) {
            ++insertAt;
        }
        for (const SerialPortEntry& port : reported) {
            const QString name = QString::fromStdString(port.name);
            if (IndexOfPort(name) < 0) {
                InsertEntry(insertAt++, name, QString::fromStdString(port.description),
                            EntryKind::Reported);
                changed = true;
            }
        }
        if (!changed) {
            return;
        }
        // The same entry stays current, wherever it moved; when the port in effect went away,
        // the first entry is, as at start.
        const bool gone = IndexOfPort(m_strCurrentPort) < 0;
        setCurrentIndex(gone ? 0 : otherShown ? OtherPortIndex() : IndexOfPort(m_strCurrentPort));
    }
    // The port in effect went away, or its entry moved: its new place counts.
    if (currentIndex() != indexBefore || IndexOfPort(m_strCurrentPort) < 0) {
        Select(currentIndex(), false);
    }
}

void CPortComboBox::OnCurrentIndexChanged(int index) {
    Select(index, true);
}

void CPortComboBox::Select(int index, bool chosen) {
    setToolTip(currentText());
    if (index < 0 || IsOtherPortEntry(index)) {
        return;
    }
    m_strCurrentPort = PortNameAt(index);
    emit PortSelected(index, m_strCurrentPort, chosen);
}

void CPortComboBox::OnActivated(int index) {
    if (!m_bBrowsing && IsOtherPortEntry(index)) {
        emit OtherPortChosen();
    }
}

void CPortComboBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool choose = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (choose && IsOtherPortEntry(currentIndex()) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        emit OtherPortChosen();
        return;
    }
    // The closed list reports every move as an activation; none of them is a choice.
    m_bBrowsing = true;
    QComboBox::keyPressEvent(event);
    m_bBrowsing = false;
}

void CPortComboBox::wheelEvent(QWheelEvent* event) {
    m_bBrowsing = true;
    QComboBox::wheelEvent(event);
    m_bBrowsing = false;
}

void CPortComboBox::focusOutEvent(QFocusEvent* event) {
    // Leaving the list while "Other port..." is merely shown: show the port in effect again.
    if (event->reason() != Qt::PopupFocusReason && IsOtherPortEntry(currentIndex())) {
        SelectPort(m_strCurrentPort);
    }
    QComboBox::focusOutEvent(event);
}

void CPortComboBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    QStyleOptionComboBox box;
    initStyleOption(&box);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    focus.rect =
        style()->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxEditField, this);
    focus.backgroundColor = palette().color(QPalette::Button);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

bool CPortComboBox::IsListOpen() const {
    return view()->isVisible();
}

void CPortComboBox::showPopup() {
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (popup == this->window()) {
        return;
    }
    // The popup's frame and scroll bar come on top of the widest entry.
    const int chrome = popup->width() - view()->viewport()->width();
    const QRect screen =
        (popup->screen() != nullptr ? popup->screen() : this->screen())->availableGeometry();
    const int wanted = std::min(view()->sizeHintForColumn(0) + chrome, screen.width());
    if (wanted <= popup->width()) {
        return;
    }
    QRect geometry = popup->geometry();
    geometry.setWidth(wanted);
    if (geometry.right() > screen.right()) {
        geometry.moveRight(screen.right());
    }
    popup->setGeometry(geometry);
}
