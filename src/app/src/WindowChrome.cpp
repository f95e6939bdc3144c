#include "kb/app/WindowChrome.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QWindow>

#include "kb/app/Language.h"
#include "kb/ui/Events.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/MenuLoader.h"
#include "kb/ui/Skin.h"
#include "kb/widgets/SShellNotifyIcon.h"

namespace kb::app {
namespace {

constexpr int kCommandFirmwareCheck = 1;
constexpr int kCommandShowWindow = 2;
constexpr int kCommandExit = 6;
constexpr int kMoreButtonId = 65537;

}  // namespace

WindowChrome::WindowChrome(QWidget* window, Hooks hooks) : window_(window), hooks_(std::move(hooks)) {
    // The layout draws its own title bar with its own buttons.
    window_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    const QPixmap logo = kb::ui::ResolveImage(QStringLiteral("ICON_LOGO"));
    if (!logo.isNull()) {
        window_->setWindowIcon(QIcon(logo));
    }
    window_->installEventFilter(this);
    if (QWidget* titleBar = kb::ui::FindByName(window_, u"title_bar")) {
        titleBar->installEventFilter(this);
    }
    tray_ = kb::ui::FindByName<SShellNotifyIcon>(window_, u"tray_icon", u"shellnotifyicon");
    if (tray_ != nullptr) {
        QObject::connect(tray_, &SShellNotifyIcon::command, this, [this](int id) { OnCommand(id); });
        tray_->SetMenuFiller([this](QMenu& menu) {
            if (hooks_.fillTrayMenu && !hooks_.ended()) {
                QAction* first = menu.actions().isEmpty() ? nullptr : menu.actions().front();
                QMenu entries;
                hooks_.fillTrayMenu(entries);
                if (entries.actions().isEmpty()) {
                    return;
                }
                for (QAction* action : entries.actions()) {
                    action->setParent(&menu);
                    menu.insertAction(first, action);
                }
                menu.insertSeparator(first);
            }
        });
        tray_->Install();
    }
}

WindowChrome::~WindowChrome() = default;

void WindowChrome::AddEvents(kb::ui::EventTable& table) {
    const QString command = QString::fromUtf16(kb::ui::kEventCommand);
    table.OnName(command, QStringLiteral("btn_more"), [this](const auto&) { OpenMoreMenu(); })
        .OnName(command, QStringLiteral("btn_close"), [this](const auto&) { hooks_.close(); })
        .OnName(command, QStringLiteral("btn_min"), [this](const auto&) { HideWindow(); })
        .OnName(command, QStringLiteral("btn_max"), [this](const auto&) { window_->showMaximized(); })
        .OnName(command, QStringLiteral("btn_restore"), [this](const auto&) { window_->showNormal(); })
        .OnName(command, QStringLiteral("zh_cn"), [this](const auto&) { SwitchLanguage(1); })
        .OnName(command, QStringLiteral("jp"), [this](const auto&) { SwitchLanguage(0); });
}

void WindowChrome::OnCommand(int command) {
    switch (command) {
        case kCommandFirmwareCheck:
            hooks_.firmwareCheck();
            break;
        case kCommandShowWindow:
            ShowAndRaise();
            break;
        case kCommandExit:
            // Posted, like a close message: the menu that sent it finishes first.
            QMetaObject::invokeMethod(
                this, [this] { hooks_.close(); }, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

void WindowChrome::HideWindow() {
    if (window_ == nullptr) {
        return;
    }
    if (tray_ != nullptr && SShellNotifyIcon::IsAvailable()) {
        window_->hide();
    } else {
        window_->showMinimized();  // no tray to come back from
    }
}

void WindowChrome::ShowAndRaise() {
    if (window_ == nullptr || hooks_.ended()) {
        return;
    }
    if (window_->isMinimized()) {
        window_->showNormal();
    }
    if (!window_->isVisible()) {
        window_->show();
    }
    window_->raise();
    window_->activateWindow();
}

void WindowChrome::OpenMoreMenu() {
    auto* button = kb::ui::FindById(window_, kMoreButtonId, u"imgbtn");
    if (button == nullptr) {
        return;
    }
    moreMenu_ = kb::ui::LoadMenu(QStringLiteral("menu_more"), window_);
    if (!moreMenu_) {
        return;
    }
    QObject::connect(moreMenu_.get(), &QMenu::triggered, this,
                     [this](QAction* action) { OnCommand(kb::ui::CommandOf(action)); });
    moreMenu_->popup(button->mapToGlobal(button->rect().bottomLeft()));
}

void WindowChrome::SwitchLanguage(int argument) {
    if (!InstallLanguage(argument == 1)) {
        return;
    }
    // The layouts retranslate on the posted language change, which resets what the code wrote.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    hooks_.restoreCodeTexts();
}

void WindowChrome::CloseMoreMenu() {
    if (moreMenu_) {
        moreMenu_->close();
    }
}

bool WindowChrome::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::Close) {
            hooks_.close();
            return false;
        }
        if (event->type() == QEvent::LanguageChange) {
            // After the layout's own retranslation of this event.
            QMetaObject::invokeMethod(
                this, [this] { hooks_.restoreCodeTexts(); }, Qt::QueuedConnection);
        }
    } else if (event->type() == QEvent::MouseButtonPress && window_ != nullptr) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && window_->windowHandle() != nullptr) {
            window_->windowHandle()->startSystemMove();  // the title bar moves the frameless window
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kb::app
