// The window's chrome: the frameless title bar (its buttons, moving the window), the more-menu, the tray
// icon and its menu, the language switch, and the window's own close and language-change events.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QMenu;
class QWidget;
class SShellNotifyIcon;

namespace kb::ui {
class EventTable;
}

namespace kb::app {

class WindowChrome : public QObject {
  public:
    struct Hooks {
        std::function<void()> firmwareCheck;       // the menus' command 1
        std::function<void()> close;               // the program ends: close button, menu exit, window closed
        std::function<void()> restoreCodeTexts;    // after a language change, the texts the code wrote
        std::function<bool()> ended;               // the window ended: it is never shown again
        std::function<void(QMenu&)> fillTrayMenu;  // entries of the window's own at the tray menu's top
    };

    // Makes the window frameless, gives it its icon, watches it and its title bar, installs the tray.
    WindowChrome(QWidget* window, Hooks hooks);
    ~WindowChrome() override;

    WindowChrome(const WindowChrome&) = delete;
    WindowChrome& operator=(const WindowChrome&) = delete;

    // The window's rows for the title-bar buttons and the language buttons.
    void AddEvents(kb::ui::EventTable& table);

    // A menu command (more-menu, tray menu): 1 firmware check, 2 show the window, 6 close; others nothing.
    void OnCommand(int command);
    // Hides to the tray; minimises where the desktop has no tray, so the window is never stranded.
    void HideWindow();
    // Restores, shows and raises the window (tray, second start).
    void ShowAndRaise();
    void OpenMoreMenu();
    QMenu* MoreMenu() const { return moreMenu_.get(); }
    void CloseMoreMenu();
    // 1: Chinese, anything else: English. The texts the code wrote are written again afterwards.
    void SwitchLanguage(int argument);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    Hooks hooks_;
    SShellNotifyIcon* tray_ = nullptr;
    std::unique_ptr<QMenu> moreMenu_;
};

}  // namespace kb::app
