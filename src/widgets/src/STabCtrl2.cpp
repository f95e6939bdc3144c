#include "kb/widgets/STabCtrl2.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>

#include "kb/ui/Skin.h"
#include "kb/ui/Timeline.h"
#include "kb/widgets/STabPage2.h"

// The header row of STabCtrl2: reports the header under the pointer and draws the headers with the
// control's skins.
class STabBar2 : public QTabBar {
  public:
    explicit STabBar2(STabCtrl2* owner) : QTabBar(owner), owner_(owner) {
        setMouseTracking(true);
        setDrawBase(false);
    }

    void Relayout() {
        setIconSize(iconSize());  // marks the layout dirty so tabSizeHint is asked again
        updateGeometry();
    }

  protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        if (owner_->tabWidth_ > 0) {
            size.setWidth(owner_->tabWidth_);
        }
        if (owner_->tabHeight_ > 0) {
            size.setHeight(owner_->tabHeight_);
        }
        return size;
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        owner_->SetHoveredTab(tabAt(event->position().toPoint()));
        QTabBar::mouseMoveEvent(event);
    }

    void leaveEvent(QEvent* event) override {
        owner_->SetHoveredTab(-1);
        QTabBar::leaveEvent(event);
    }

    void paintEvent(QPaintEvent* event) override {
        if (!owner_->DrawsHeaders()) {
            QTabBar::paintEvent(event);
            return;
        }
        QPainter painter(this);
        if (owner_->headBg_) {
            owner_->headBg_->Draw(painter, rect(), 0);
        }
        painter.setClipRect(rect());
        for (int i = 0; i < count(); ++i) {
            const QRect header = tabRect(i);
            if (header.isEmpty()) {
                continue;
            }
            if (owner_->tabSkin_) {
                owner_->tabSkin_->Draw(painter, header, owner_->HeaderState(i));
            } else {
                // Without a header skin the style draws the header's shape (a style sheet applies).
                QStyleOptionTab option;
                initStyleOption(&option, i);
                option.text.clear();
                option.icon = QIcon();
                style()->drawControl(QStyle::CE_TabBarTabShape, &option, &painter, this);
            }
            owner_->PaintHeader(painter, header, i);
        }
    }

  private:
    STabCtrl2* owner_;
};

namespace {
STabBar2* BarOf(const STabCtrl2* control) {
    return static_cast<STabBar2*>(control->tabBar());
}
}  // namespace

STabCtrl2::STabCtrl2(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new STabBar2(this));
    tickHandle_ = kb::ui::Timeline::Shared().Register([this] { OnTick(); });
    UpdateBusy();
}

void STabCtrl2::UpdateBusy() {
    bool busy = false;
    for (int i = 0; i < count() && !busy; ++i) {
        const STabPage2* page = Page(i);
        if (page == nullptr || page->animState == STabPage2::None) {
            continue;
        }
        // An in-animation that reached its last frame only holds it while the pointer stays.
        const kb::ui::Skin* in = page->AniInSkin();
        busy = page->animState == STabPage2::Out || in == nullptr || page->animFrame < in->LastFrame();
    }
    kb::ui::Timeline::Shared().SetBusy(tickHandle_, busy);
}

STabCtrl2::~STabCtrl2() {
    kb::ui::Timeline::Shared().Unregister(tickHandle_);
}

void STabCtrl2::setTabHeadBgSkin(const QString& name) {
    headBgName_ = name;
    headBg_ = kb::ui::SkinPool::Shared().Find(name);
    tabBar()->update();
}

void STabCtrl2::setTabSkin(const QString& name) {
    tabSkinName_ = name;
    tabSkin_ = kb::ui::SkinPool::Shared().Find(name);
    tabBar()->update();
}

void STabCtrl2::setIconSkin(const QString& name) {
    iconSkinName_ = name;
    iconSkin_ = kb::ui::SkinPool::Shared().Find(name);
    tabBar()->update();
}

void STabCtrl2::setIconX(int x) {
    iconX_ = x;
    tabBar()->update();
}

void STabCtrl2::setIconY(int y) {
    iconY_ = y;
    tabBar()->update();
}

void STabCtrl2::setTextX(int x) {
    textX_ = x;
    tabBar()->update();
}

void STabCtrl2::setTextY(int y) {
    textY_ = y;
    tabBar()->update();
}

void STabCtrl2::setTabWidth(int width) {
    tabWidth_ = width;
    BarOf(this)->Relayout();
}

void STabCtrl2::setTabHeight(int height) {
    tabHeight_ = height;
    BarOf(this)->Relayout();
}

bool STabCtrl2::DrawsHeaders() const {
    return headBg_ || tabSkin_ || iconSkin_;
}

STabPage2* STabCtrl2::Page(int index) const {
    return qobject_cast<STabPage2*>(widget(index));
}

void STabCtrl2::UpdateHeader(int index) {
    if (index >= 0 && index < count()) {
        tabBar()->update(tabBar()->tabRect(index));
    }
}

void STabCtrl2::SetHoveredTab(int index) {
    if (index == hoveredTab_) {
        return;
    }
    const int left = hoveredTab_;
    hoveredTab_ = index;
    if (left >= 0) {
        OnTabItemLeave(left);
    }
    if (index >= 0) {
        OnTabItemHover(index);
    }
}

void STabCtrl2::tabInserted(int index) {
    if (hoveredTab_ >= 0 && index <= hoveredTab_) {
        ++hoveredTab_;
    }
    QTabWidget::tabInserted(index);
}

void STabCtrl2::tabRemoved(int index) {
    if (index == hoveredTab_) {
        hoveredTab_ = -1;
    } else if (index < hoveredTab_) {
        --hoveredTab_;
    }
    QTabWidget::tabRemoved(index);
}

void STabCtrl2::OnTabItemHover(int index) {
    if (STabPage2* page = Page(index)) {
        page->animState = STabPage2::In;
        page->animFrame = 0;
        page->countdown = kFrameIntervalMs;
    }
    UpdateHeader(index);
    UpdateBusy();
}

void STabCtrl2::OnTabItemLeave(int index) {
    if (STabPage2* page = Page(index)) {
        page->animState = STabPage2::Out;
        page->animFrame = 0;
        page->countdown = kFrameIntervalMs;
    }
    UpdateHeader(index);
    UpdateBusy();
}

void STabCtrl2::OnTick() {
    for (int i = 0; i < count(); ++i) {
        STabPage2* page = Page(i);
        if (page == nullptr || page->animState == STabPage2::None) {
            continue;
        }
        page->countdown -= kb::ui::Timeline::kTickMs;
        if (page->countdown >= 1) {
            continue;
        }
        ++page->animFrame;
        if (page->animState == STabPage2::In) {
            const kb::ui::Skin* in = page->AniInSkin();
            if (in == nullptr) {
                page->animState = STabPage2::None;
            } else if (page->animFrame >= in->LastFrame()) {
                page->animFrame = in->LastFrame();  // held while the pointer stays
            }
        } else {
            const kb::ui::Skin* out = page->AniOutSkin();
            if (out == nullptr || page->animFrame >= out->LastFrame()) {
                page->animState = STabPage2::None;
            }
        }
        page->countdown = kFrameIntervalMs;
        UpdateHeader(i);
    }
    UpdateBusy();
}

int STabCtrl2::HeaderState(int index) const {
    if (index == currentIndex()) {
        return 2;
    }
    return index == hoveredTab_ ? 1 : 0;
}

std::pair<const kb::ui::Skin*, int> STabCtrl2::HeaderIcon(int index) const {
    if (!iconSkin_) {
        return {nullptr, 0};
    }
    const STabPage2* page = Page(index);
    if (page != nullptr) {
        if (page->animState == STabPage2::In && page->AniInSkin() != nullptr) {
            return {page->AniInSkin(), page->animFrame};
        }
        if (page->animState == STabPage2::Out && page->AniOutSkin() != nullptr) {
            return {page->AniOutSkin(), page->animFrame};
        }
    }
    const int iconIndex = page != nullptr ? page->iconIndex() : -1;
    return {iconSkin_.get(), iconIndex == -1 ? index : iconIndex};
}

void STabCtrl2::PaintHeader(QPainter& painter, const QRect& header, int index) const {
    if (header.isEmpty()) {
        return;
    }
    if (iconSkin_) {
        const auto [skin, frame] = HeaderIcon(index);
        const QRect iconRect(header.topLeft() + QPoint(iconX_, iconY_), iconSkin_->FrameSize());
        skin->Draw(painter, iconRect, frame);
    }
    const int state = HeaderState(index);
    painter.setFont(tabBar()->font());
    const QColor text = state == 2 && selectedTextColor_.isValid()
                            ? selectedTextColor_
                            : tabBar()->palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                        QPalette::WindowText);
    painter.setPen(text);
    const QString title = tabBar()->tabText(index);
    const bool xSet = textX_ >= 0;
    const bool ySet = textY_ >= 0;
    if (xSet && ySet) {
        const QRect box(header.topLeft() + QPoint(textX_, textY_), header.bottomRight());
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    } else if (ySet) {
        painter.drawText(header.adjusted(0, textY_, 0, 0),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, title);
    } else if (xSet) {
        painter.drawText(header.adjusted(textX_, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    } else {
        painter.drawText(header, Qt::AlignCenter | Qt::TextSingleLine, title);
    }
}

void STabCtrl2::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::EnabledChange:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
        case QEvent::FontChange:
            tabBar()->update();
            break;
        default:
            break;
    }
    QTabWidget::changeEvent(event);
}
