#include "kb/ui/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

namespace kb::ui {
namespace {

// Qt on Linux names a list by its current entry ("Ripple"); a screen reader then never says what the
// list is for. The list's own accessible name comes first here; the entry stays its value.
class NamedComboBoxAccessible : public QAccessibleWidget {
  public:
    explicit NamedComboBoxAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name: {
                const QString name = List()->accessibleName();
                return name.isEmpty() ? CurrentText() : name;
            }
            case QAccessible::Value:
                return CurrentText();
            default:
                return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override { return List()->isEditable() && List()->lineEdit() != nullptr ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(List()->view());
        }
        if (index == 1 && childCount() == 2) {
            return QAccessible::queryAccessibleInterface(List()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (this->child(i) == child) {
                return i;
            }
        }
        return -1;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction(), setFocusAction()}; }
    QStringList keyBindingsForAction(const QString& /*actionName*/) const override { return {}; }
    void doAction(const QString& actionName) override {
        if (actionName == showMenuAction() || actionName == pressAction()) {
            List()->showPopup();
        } else if (actionName == setFocusAction()) {
            List()->setFocus(Qt::OtherFocusReason);
        }
    }

  private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
    QString CurrentText() const {
        return List()->isEditable() && List()->lineEdit() != nullptr ? List()->lineEdit()->text()
                                                                     : List()->currentText();
    }
};

// A value set through the accessibility interface (voice control, switch access) moves the slider the
// way a drag does, so the window stores and sends it like any change by the user.
class UserSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit UserSliderAccessible(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? QString::number(Slider()->value()) : QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return Slider()->value(); }
    void setCurrentValue(const QVariant& value) override {
        QSlider* slider = Slider();
        if (!slider->isEnabled()) {
            return;
        }
        // The position goes first and the action follows, as in a drag: the value then changes as the
        // user's own move.
        slider->setSliderPosition(value.toInt());
        if (!slider->hasTracking()) {
            slider->triggerAction(QAbstractSlider::SliderMove);
        }
    }
    QVariant maximumValue() const override { return Slider()->maximum(); }
    QVariant minimumValue() const override { return Slider()->minimum(); }
    QVariant minimumStepSize() const override { return Slider()->singleStep(); }

  private:
    QSlider* Slider() const { return static_cast<QSlider*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox")) {
        if (auto* list = qobject_cast<QComboBox*>(object)) {
            return new NamedComboBoxAccessible(list);
        }
    } else if (className == QLatin1String("QSlider")) {
        if (auto* slider = qobject_cast<QSlider*>(object)) {
            return new UserSliderAccessible(slider);
        }
    } else if (className == QLatin1String("QWidget") && object->metaObject() == &QWidget::staticMetaObject) {
        // A plain widget shown as a top-level window (the main window) would be a "filler".
        auto* widget = static_cast<QWidget*>(object);
        if (widget->isWindow() && widget->windowType() == Qt::Window) {
            return new QAccessibleWidget(widget, QAccessible::Window);
        }
    }
    return nullptr;
}

}  // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

}  // namespace kb::ui
