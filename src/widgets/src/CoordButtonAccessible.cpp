// The keyboard picture in the accessibility tree: one button per key, named as the key, with its label
// as description, its mark as checked state, the picture's key focus as focused state and a press action
// that clicks it. Screen readers can then follow the focus, read and press keys, and tests can drive the
// picture by key name.
#include "CoordButtonAccessible.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <map>

#include "kb/widgets/CoordButtonImage.h"

namespace {

QRect KeyRect(const KeyButton& key) {
    return QRect(QPoint(key.left, key.top), QPoint(key.right - 1, key.bottom - 1));
}

// One key; reads the widget's key at its index every time, so marks and labels are always current.
class KeyAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    KeyAccessible(CoordButtonImage* picture, std::size_t index) : picture_(picture), index_(index) {}

    bool isValid() const override { return Key() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return picture_ != nullptr ? picture_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(picture_); }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text t) const override {
        const KeyButton* key = Key();
        if (key == nullptr) {
            return {};
        }
        switch (t) {
            case QAccessible::Name:
                return key->name;
            case QAccessible::Description:
                return key->label;
            default:
                return {};
        }
    }
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}

    QRect rect() const override {
        const KeyButton* key = Key();
        if (key == nullptr) {
            return {};
        }
        const QRect local = KeyRect(*key);
        return QRect(picture_->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        const KeyButton* key = Key();
        if (key == nullptr) {
            state.invalid = true;
            return state;
        }
        state.invisible = !picture_->isVisible();
        state.disabled = !picture_->isEnabled();
        state.checkable = true;  // checked: the key carries an assignment
        state.checked = key->marked;
        state.pressed = key->pressed;
        state.hotTracked = key->hover;
        state.focusable = true;
        state.focused = picture_->hasFocus() && picture_->FocusedKey() == static_cast<int>(index_);
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList keyBindingsForAction(const QString& /*actionName*/) const override { return {}; }

    // A press is a click on this key: the left button goes down and comes up again at its centre.
    // Focusing moves the picture's key focus here.
    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString& actionName) override {
        if (Key() == nullptr || !picture_->isEnabled()) {
            return;
        }
        if (actionName == pressAction()) {
            picture_->ClickKey(index_);
        } else if (actionName == setFocusAction()) {
            picture_->setFocus(Qt::OtherFocusReason);
            picture_->SetFocusedKey(static_cast<int>(index_));
        }
    }

  private:
    const KeyButton* Key() const {
        if (picture_ == nullptr || index_ >= picture_->Keys().size()) {
            return nullptr;
        }
        return &picture_->Keys()[index_];
    }

    QPointer<CoordButtonImage> picture_;
    std::size_t index_;
};

class CoordButtonImageAccessible : public QAccessibleWidget {
  public:
    explicit CoordButtonImageAccessible(CoordButtonImage* picture)
        : QAccessibleWidget(picture, QAccessible::Grouping) {}

    ~CoordButtonImageAccessible() override {
        for (const auto& [index, id] : children_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return static_cast<int>(Picture()->Keys().size()); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        const auto slot = static_cast<std::size_t>(index);
        const auto known = children_.find(slot);
        if (known != children_.end()) {
            return QAccessible::accessibleInterface(known->second);
        }
        auto* key = new KeyAccessible(Picture(), slot);
        children_.emplace(slot, QAccessible::registerAccessibleInterface(key));
        return key;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [index, id] : children_) {
            if (QAccessible::accessibleInterface(id) == child) {
                return static_cast<int>(index);
            }
        }
        return -1;
    }

    QAccessibleInterface* focusChild() const override {
        const int key = Picture()->FocusedKey();
        return Picture()->hasFocus() && key >= 0 ? child(key) : nullptr;
    }

    // The key under a point in screen coordinates; the first in list order, as clicks go.
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = Picture()->mapFromGlobal(QPoint(x, y));
        const auto& keys = Picture()->Keys();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i].Contains(local.x(), local.y())) {
                return child(static_cast<int>(i));
            }
        }
        return nullptr;
    }

  private:
    CoordButtonImage* Picture() const { return static_cast<CoordButtonImage*>(widget()); }

    mutable std::map<std::size_t, QAccessible::Id> children_;
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("CoordButtonImage")) {
        if (auto* picture = qobject_cast<CoordButtonImage*>(object)) {
            return new CoordButtonImageAccessible(picture);
        }
    }
    return nullptr;
}

}  // namespace

void InstallCoordButtonAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}
