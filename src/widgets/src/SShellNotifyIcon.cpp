#include "kb/widgets/SShellNotifyIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>

#include "kb/ui/Skin.h"

SShellNotifyIcon::SShellNotifyIcon(QWidget* parent) : QWidget(parent), tray_(new QSystemTrayIcon(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(0, 0);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            HandleClick(kLeftButtonUp);
        } else if (reason == QSystemTrayIcon::Context) {
            HandleClick(kRightButtonUp);
        }
    });
    // The layout sets the attributes after construction; the icon goes to the tray once it is loaded.
    QTimer::singleShot(0, this, &SShellNotifyIcon::Install);
}

SShellNotifyIcon::~SShellNotifyIcon() {
    tray_->hide();
}

bool SShellNotifyIcon::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SShellNotifyIcon::setIco(const QString& names) {
    icoNames_ = names;
    icons_.clear();
    for (const QString& name : names.split(u';', Qt::SkipEmptyParts)) {
        const QPixmap image = kb::ui::ResolveImage(name.trimmed());
        if (!image.isNull()) {
            icons_.emplace_back(image);
        }
    }
    if (installed_) {
        tray_->setIcon(CurrentIcon());
    }
}

void SShellNotifyIcon::setTip(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    // The shell's tip field holds 127 UTF-16 units; a longer tip is cut rather than refused, before a
    // surrogate pair that would not fit whole.
    qsizetype length = std::min<qsizetype>(text.size(), kMaxTipLength);
    if (length < text.size() && text.at(length - 1).isHighSurrogate()) {
        --length;
    }
    tip_ = text.left(length);
    tray_->setToolTip(tip_);
}

void SShellNotifyIcon::setMenu(const QString& name) {
    const auto kind = kb::ui::ReadMenuKind(name);
    if (!kind) {
        return;
    }
    menuKind_ = *kind;
    menuName_ = menuKind_ == kb::ui::MenuKind::None ? QString() : name;
}

QIcon SShellNotifyIcon::CurrentIcon() const {
    if (!icons_.empty()) {
        // An index outside the list (too large or negative) shows the first icon.
        const int index = defaultIcon_ >= 0 && defaultIcon_ < IconCount() ? defaultIcon_ : 0;
        return icons_[static_cast<std::size_t>(index)];
    }
    const QPixmap logo = kb::ui::ResolveImage(QStringLiteral("ICON_LOGO"));
    return logo.isNull() ? QIcon()
                         : QIcon(logo.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void SShellNotifyIcon::Install() {
    if (installed_) {
        return;
    }
    installed_ = true;
    if (defaultIcon_ < 0 || defaultIcon_ >= IconCount()) {
        defaultIcon_ = 0;
    }
    tray_->setIcon(CurrentIcon());
    tray_->setToolTip(tip_);
    // Also without a tray now: Qt puts the icon up when a panel starts later (a start at login often
    // comes before the panel), as the shell's restart message does elsewhere.
    tray_->show();
}

void SShellNotifyIcon::HandleClick(int mouseCode) {
    if (clickFilter_ && clickFilter_(mouseCode)) {
        return;
    }
    QWidget* host = window();
    if (mouseCode == kLeftButtonUp) {
        if (host == this) {
            return;
        }
        if (host->isVisible()) {
            host->hide();
        } else {
            host->showNormal();
            host->raise();
            host->activateWindow();
        }
    } else if (mouseCode == kRightButtonUp) {
        ShowTrayMenu();
    }
}

std::unique_ptr<QMenu> SShellNotifyIcon::BuildTrayMenu() {
    if (menuKind_ == kb::ui::MenuKind::None) {
        return nullptr;
    }
    auto menu = kb::ui::LoadMenu(menuName_);
    if (menu && menuFiller_) {
        menuFiller_(*menu);
    }
    return menu;
}

void SShellNotifyIcon::ShowTrayMenu() {
    auto menu = BuildTrayMenu();
    if (!menu) {
        return;
    }
    if (QAction* chosen = menu->exec(QCursor::pos())) {
        const int id = kb::ui::CommandOf(chosen);
        if (id != 0) {
            emit command(id);
        }
    }
}

void SShellNotifyIcon::paintEvent(QPaintEvent* /*event*/) {}
