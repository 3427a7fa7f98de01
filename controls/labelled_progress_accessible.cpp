// The accessible interface of the labelled progress bar. The bar keeps its own range and
// position, so QProgressBar's interface, which reads the native ones, would always say 0.
#include "labelled_progress_accessible.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <algorithm>

#include "labelled_progress_ctrl.h"

namespace {

class CLabelledProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CLabelledProgressAccessible(CLabelledProgressCtrl* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override {
        // What the bar shows: "47%", or its label.
        if (type == QAccessible::Value) {
            return Bar()->text();
        }
        return QAccessibleWidget::text(type);
    }

    // The position as the picture shows it: never outside the range.
    QVariant currentValue() const override {
        const CLabelledProgressCtrl* bar = Bar();
        if (bar->GetLower() >= bar->GetUpper()) {
            return bar->GetLower();
        }
        return std::clamp(bar->GetPos(), bar->GetLower(), bar->GetUpper());
    }
    void setCurrentValue(const QVariant&) override {}  // only the download moves the bar
    QVariant maximumValue() const override {
        return std::max(Bar()->GetLower(), Bar()->GetUpper());
    }
    QVariant minimumValue() const override { return Bar()->GetLower(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    const CLabelledProgressCtrl* Bar() const {
        return static_cast<const CLabelledProgressCtrl*>(object());
    }
};

QAccessibleInterface* CreateInterface(const QString& key, QObject* object) {
    auto* bar = qobject_cast<CLabelledProgressCtrl*>(object);
    if (bar == nullptr ||
        key != QLatin1String(CLabelledProgressCtrl::staticMetaObject.className())) {
        return nullptr;
    }
    return new CLabelledProgressAccessible(bar);  // owned by QAccessible's cache
}

}  // namespace

void InstallLabelledProgressAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(CreateInterface);
        return true;
    }();
    (void)installed;
}
