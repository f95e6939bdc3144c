#include "kb/ui/Events.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QVariant>
#include <QWidget>

#include "kb/ui/Accessibility.h"
#include "kb/ui/NamedIds.h"

namespace kb::ui {

EventTable& EventTable::OnName(QString eventName, QString widgetName,
                               std::function<void(const WidgetEvent&)> handler) {
    Row row;
    row.eventName = std::move(eventName);
    row.widgetName = std::move(widgetName);
    row.handler = std::move(handler);
    rows_.push_back(std::move(row));
    return *this;
}

EventTable& EventTable::OnNames(const QString& eventName, const std::vector<QString>& widgetNames,
                                const std::function<void(const WidgetEvent&)>& handler) {
    for (const QString& name : widgetNames) {
        OnName(eventName, name, handler);
    }
    return *this;
}

EventTable& EventTable::OnIdRange(QString eventName, int firstId, int lastId,
                                  std::function<void(const WidgetEvent&)> handler) {
    Row row;
    row.eventName = std::move(eventName);
    row.byName = false;
    row.firstId = firstId;
    row.lastId = lastId;
    row.handler = std::move(handler);
    rows_.push_back(std::move(row));
    return *this;
}

bool EventTable::Dispatch(const WidgetEvent& event) const {
    for (const Row& row : rows_) {
        if (row.eventName != event.name) {
            continue;
        }
        const bool matches = row.byName ? (!row.widgetName.isEmpty() && row.widgetName == event.senderName)
                                        : (event.senderId >= row.firstId && event.senderId <= row.lastId);
        if (matches) {
            if (row.handler) {
                row.handler(event);
            }
            return true;
        }
    }
    return false;
}

namespace {
constexpr const char* kBridgedProperty = "_kb_bridged";
// Set while a user action on a slider is about to change its value.
constexpr const char* kSliderUserMove = "_kb_user_move";
}  // namespace

EventBridge::EventBridge(QWidget* window) : QObject(window) {
    InstallAccessibility();
    Attach(window);
}

void EventBridge::Subscribe(QWidget* widget, QString eventName, EventHandler handler) {
    subscriptions_.push_back({widget, std::move(eventName), std::move(handler)});
}

void EventBridge::Attach(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    Connect(root);
    const auto descendants = root->findChildren<QWidget*>();
    for (QWidget* widget : descendants) {
        Connect(widget);
    }
}

void EventBridge::Connect(QWidget* widget) {
    if (widget->property(kBridgedProperty).toBool()) {
        return;
    }
    widget->setProperty(kBridgedProperty, true);

    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, button](bool checked) {
            Raise(QString::fromUtf16(kEventCommand), button, checked ? 1 : 0);
        });
        if (qobject_cast<QPushButton*>(button) != nullptr || qobject_cast<QToolButton*>(button) != nullptr) {
            button->installEventFilter(this);
        }
    } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
        // valueChanged also fires for values set by the code; only a user action (drag, wheel, keys,
        // page clicks) announces itself through actionTriggered, with the new position already known.
        connect(slider, &QAbstractSlider::actionTriggered, this, [slider](int) {
            slider->setProperty(kSliderUserMove, slider->sliderPosition() != slider->value());
        });
        connect(slider, &QAbstractSlider::valueChanged, this, [this, slider](int value) {
            if (slider->property(kSliderUserMove).toBool()) {
                slider->setProperty(kSliderUserMove, false);
                Raise(QString::fromUtf16(kEventSliderPos), slider, value);
            }
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, combo](int index) { Raise(QString::fromUtf16(kEventComboSelChange), combo, index); });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        connect(tabs, &QTabWidget::currentChanged, this,
                [this, tabs](int index) { Raise(QString::fromUtf16(kEventTabSelChanged), tabs, index); });
    }
    // Program widgets announce their own events through a keyEnter() signal.
    if (widget->metaObject()->indexOfSignal("keyEnter()") >= 0) {
        connect(widget, SIGNAL(keyEnter()), this, SLOT(OnKeyEnter()));
    }
}

bool EventBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QAbstractButton*>(watched);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (enter && modifiers == Qt::NoModifier && button != nullptr && button->hasFocus() &&
            button->isEnabled()) {
            if (!key->isAutoRepeat()) {
                button->click();
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void EventBridge::OnKeyEnter() {
    if (auto* widget = qobject_cast<QWidget*>(QObject::sender())) {
        Raise(QString::fromUtf16(kEventKeyEnter), widget);
    }
}

bool EventBridge::Raise(const QString& eventName, QWidget* sender, int value) {
    WidgetEvent event;
    event.name = eventName;
    event.sender = sender;
    event.senderName = sender != nullptr ? sender->objectName() : QString();
    event.senderId = WidgetId(sender);
    event.value = value;
    return Deliver(event);
}

bool EventBridge::Deliver(const WidgetEvent& event) {
    // A handler may subscribe more; walk by index over the rows present now.
    const std::size_t count = subscriptions_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Subscription& s = subscriptions_[i];
        if (s.widget != nullptr && s.widget == event.sender && s.eventName == event.name && s.handler) {
            EventHandler handler = s.handler;
            if (handler(event)) {
                return true;
            }
        }
    }
    return handler_ ? handler_(event) : false;
}

}  // namespace kb::ui
