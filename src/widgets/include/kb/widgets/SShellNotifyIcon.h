// The tray icon of the main window, over QSystemTrayIcon. It draws nothing in the window. A left click
// shows or hides the window, a right click shows the tray menu; the window may take a click first.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "kb/ui/MenuLoader.h"

class QMenu;
class QSystemTrayIcon;

class SShellNotifyIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString ico READ ico WRITE setIco)
    Q_PROPERTY(QString tip READ tip WRITE setTip)
    Q_PROPERTY(QString menu READ menu WRITE setMenu)
    Q_PROPERTY(int deficoidx READ deficoidx WRITE setDeficoidx)
    Q_PROPERTY(int startframe READ startframe WRITE setStartframe)
    Q_PROPERTY(int duration READ duration WRITE setDuration)
  public:
    static constexpr const char16_t* kElementName = u"shellnotifyicon";
    static constexpr int kMaxTipLength = 127;
    static constexpr int kLeftButtonUp = 514;
    static constexpr int kRightButtonUp = 516;

    explicit SShellNotifyIcon(QWidget* parent = nullptr);
    ~SShellNotifyIcon() override;

    QString ico() const { return icoNames_; }
    void setIco(const QString& names);
    QString tip() const { return tip_; }
    void setTip(const QString& text);
    QString menu() const { return menuName_; }
    void setMenu(const QString& name);
    int deficoidx() const { return defaultIcon_; }
    void setDeficoidx(int index) { defaultIcon_ = index; }
    int startframe() const { return startFrame_; }
    void setStartframe(int frame) { startFrame_ = frame; }
    int duration() const { return duration_; }
    void setDuration(int ms) { duration_ = ms; }

    kb::ui::MenuKind MenuKindOf() const { return menuKind_; }
    int IconCount() const { return static_cast<int>(icons_.size()); }
    // The icon shown in the tray: the default one, or the package's ICON_LOGO without icons.
    QIcon CurrentIcon() const;
    QSystemTrayIcon* TrayIcon() const { return tray_; }
    static bool IsAvailable();

    // Puts the icon in the tray (done once the layout has loaded); repeated calls do nothing more.
    void Install();

    // The window may take a click (left 514, right 516) first: return true when it did.
    void SetClickFilter(std::function<bool(int mouseCode)> filter) { clickFilter_ = std::move(filter); }
    void HandleClick(int mouseCode);
    // Adds entries to the tray menu each time it opens (they act on their own; their command is 0).
    void SetMenuFiller(std::function<void(QMenu&)> filler) { menuFiller_ = std::move(filler); }
    // The tray menu as it opens: the layout's menu with the filler's entries.
    std::unique_ptr<QMenu> BuildTrayMenu();

  signals:
    // A command of the tray menu.
    void command(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void ShowTrayMenu();

    QSystemTrayIcon* tray_ = nullptr;
    QString icoNames_;
    std::vector<QIcon> icons_;
    QString tip_;
    QString menuName_;
    kb::ui::MenuKind menuKind_ = kb::ui::MenuKind::None;
    int defaultIcon_ = 0;
    int startFrame_ = 1;
    int duration_ = 200;
    bool installed_ = false;
    std::function<bool(int)> clickFilter_;
    std::function<void(QMenu&)> menuFiller_;
};
