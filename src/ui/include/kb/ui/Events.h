// Widget events: Qt signals of a loaded window become one event struct, handed to the window's ordered
// event table (first matching row wins; names compared exactly).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace kb::ui {

inline constexpr const char16_t* kEventCommand = u"on_command";
inline constexpr const char16_t* kEventSliderPos = u"on_slider_pos";
inline constexpr const char16_t* kEventComboSelChange = u"on_combobox_sel_change";
inline constexpr const char16_t* kEventTabSelChanged = u"on_tab_sel_changed";
inline constexpr const char16_t* kEventKeyEnter = u"on_key_enter";

struct WidgetEvent {
    QString name;
    QWidget* sender = nullptr;
    QString senderName;
    int senderId = 0;
    int value = 0;  // slider position, list index, page index, check state
};

// Handler result: true when the event was handled.
using EventHandler = std::function<bool(const WidgetEvent&)>;

class EventTable {
  public:
    // A row for events from the widget named exactly `widgetName`.
    EventTable& OnName(QString eventName, QString widgetName,
                       std::function<void(const WidgetEvent&)> handler);
    // One row per name, in the given order, sharing the handler.
    EventTable& OnNames(const QString& eventName, const std::vector<QString>& widgetNames,
                        const std::function<void(const WidgetEvent&)>& handler);
    // A row for events from any widget whose ID lies in [firstId, lastId].
    EventTable& OnIdRange(QString eventName, int firstId, int lastId,
                          std::function<void(const WidgetEvent&)> handler);

    // Runs the first matching row's handler; false when no row matches.
    bool Dispatch(const WidgetEvent& event) const;

  private:
    struct Row {
        QString eventName;
        bool byName = true;
        QString widgetName;
        int firstId = 0;
        int lastId = -1;
        std::function<void(const WidgetEvent&)> handler;
    };
    std::vector<Row> rows_;
};

// Connects the signals of every widget below a window (the window included) and delivers their events:
// first to the handlers subscribed on the sending widget, in subscription order, until one handles it;
// then to the window's handler.
class EventBridge : public QObject {
    Q_OBJECT
  public:
    explicit EventBridge(QWidget* window);

    void SetHandler(EventHandler handler) { handler_ = std::move(handler); }
    void Subscribe(QWidget* widget, QString eventName, EventHandler handler);

    // Connects the widgets below `root` (done for the window at construction; call again for widgets
    // created later). Widgets already connected are left alone.
    void Attach(QWidget* root);

    // Builds the event for `sender` and delivers it; true when handled.
    bool Raise(const QString& eventName, QWidget* sender, int value = 0);
    bool Deliver(const WidgetEvent& event);

  protected:
    // Enter on a focused push or tool button clicks it, as Space does (windows here are no dialogs, so
    // Qt's own default-button handling does not apply).
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void OnKeyEnter();

  private:
    void Connect(QWidget* widget);

    struct Subscription {
        QPointer<QWidget> widget;
        QString eventName;
        EventHandler handler;
    };
    EventHandler handler_;
    std::vector<Subscription> subscriptions_;
};

}  // namespace kb::ui
