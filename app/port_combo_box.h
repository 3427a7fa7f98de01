// The serial port list: COM1 to COM9, the ports the system reports, ports typed in by the user,
// and "Other port..." last, which asks for a port only when the user really chooses it.
#pragma once

#include <QComboBox>
#include <QString>
#include <vector>

#include "serial/port_names.h"

class QFocusEvent;
class QKeyEvent;
class QPaintEvent;
class QWheelEvent;

class CPortComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CPortComboBox(QWidget* parent = nullptr);

    // COM1 to COM9, then `reported`, then "Other port..."; selects COM1.
    void Fill(const std::vector<SerialPortEntry>& reported);

    // Adds a port the user named unless one for the same device is listed; returns its index.
    // Such a port stays in the list for the rest of the run.
    int AddPortEntry(const QString& name, const QString& description);
    // The port name behind an entry; empty for "Other port...".
    QString PortNameAt(int index) const;
    // The entry of the port that opens the same device as `name`; -1 when none does.
    int IndexOfPort(const QString& name) const;
    bool IsOtherPortEntry(int index) const;
    // The port in effect: the current entry's, or while "Other port..." is merely passed over,
    // the one chosen before it.
    QString CurrentPort() const { return m_strCurrentPort; }
    // Makes the listed port `name` current; false (nothing changes) when it is not listed.
    bool SelectPort(const QString& name);

    // Brings the reported ports up to date in place: new ones join before the ports the user
    // named, gone ones leave unless they are `keep`. The current port stays current by name; when
    // it left, COM1 becomes current. Nothing changes (and nothing repaints) when nothing differs.
    void UpdateReportedPorts(const std::vector<SerialPortEntry>& reported, const QString& keep);

    bool IsListOpen() const;

    // Opened list: as wide as its widest entry, within the screen.
    void showPopup() override;

signals:
    // The user chose "Other port...": clicked it or pressed Enter on it in the opened list, or
    // pressed Enter or Space on it with the list closed. Passing over it never counts.
    void OtherPortChosen();
    // A real port became current: chosen (by the user, or by the program on the user's behalf),
    // or, with `chosen` false, put in place of a port the system no longer reports.
    void PortSelected(int index, const QString& name, bool chosen);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // With the keyboard focus the box shows the platform's focus frame around its text, however
    // the focus came (some styles show it only after Tab).
    void paintEvent(QPaintEvent* event) override;

private:
    enum class EntryKind { Numbered, Reported, Named, Other };

    void InsertEntry(int index, const QString& name, const QString& description, EntryKind kind);
    EntryKind KindAt(int index) const;
    int OtherPortIndex() const { return count() - 1; }
    void OnCurrentIndexChanged(int index);
    void Select(int index, bool chosen);
    void OnActivated(int index);

    QString m_strCurrentPort;
    // Set while the arrow keys, the wheel or typed letters move the selection of the closed list.
    bool m_bBrowsing = false;
};
