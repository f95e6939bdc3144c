#include "kb/widgets/SAnimImg.h"

#include <QPainter>

#include "kb/ui/Skin.h"
#include "kb/ui/Timeline.h"

SAnimImg::SAnimImg(QWidget* parent) : QWidget(parent) {
    tickHandle_ = kb::ui::Timeline::Shared().Register([this] { OnTick(); });
    UpdateTicking();
}

SAnimImg::~SAnimImg() {
    kb::ui::Timeline::Shared().Unregister(tickHandle_);
}

void SAnimImg::setAutorun(int seconds) {
    autorun_ = seconds;
    autorunPending_ = seconds >= 0;
    // Seconds large enough to overflow the millisecond count mean "not in this session".
    autorunCountdown_ = seconds >= 0 ? (seconds > 2'000'000 ? 2'000'000'000 : seconds * 1000) : 0;
    autorunElapsed_ = 0;
    UpdateTicking();
}

void SAnimImg::setAniIn(const QString& name) {
    aniInName_ = name;
    aniIn_ = kb::ui::SkinPool::Shared().Find(name);
    updateGeometry();
    update();
}

void SAnimImg::setAniOut(const QString& name) {
    aniOutName_ = name;
    aniOut_ = kb::ui::SkinPool::Shared().Find(name);
    update();
}

void SAnimImg::PointerEntered() {
    ++hoverCount_;
    state_ = PlayingIn;
    frame_ = 0;
    frameTime_ = 0;
    autorunElapsed_ = 0;
    UpdateTicking();
    update();
}

void SAnimImg::PointerLeft() {
    --hoverCount_;
    UpdateTicking();
}

void SAnimImg::OnTick() {
    if (state_ != Idle) {
        frameTime_ += kb::ui::Timeline::kTickMs;
        if (frameTime_ >= interval_) {
            Advance();
            frameTime_ = 0;
        }
    }
    if (autorunPending_) {
        autorunElapsed_ += kb::ui::Timeline::kTickMs;
        if (autorunElapsed_ >= autorunCountdown_) {
            autorunElapsed_ = 0;
            frame_ = 0;
            autorunPending_ = false;
            state_ = PlayingIn;
        }
    }
    UpdateTicking();
}

// Ticks are needed only while a play runs or an automatic play is counted down; a held last frame
// waits for the pointer to leave only when there is an out-animation to play then.
void SAnimImg::UpdateTicking() {
    bool needed = autorunPending_;
    if (state_ == PlayingIn && aniIn_) {
        const bool holding = autorun_ < 0 && frame_ >= aniIn_->LastFrame();
        needed = needed || !holding || (aniOut_ && hoverCount_ <= 0);
    } else if (state_ == PlayingOut) {
        needed = needed || aniOut_ != nullptr;
    }
    kb::ui::Timeline::Shared().SetActive(tickHandle_, needed);
}

void SAnimImg::Advance() {
    if (state_ == PlayingIn) {
        if (!aniIn_) {
            return;
        }
        ++frame_;
        if (frame_ > aniIn_->LastFrame()) {
            if (autorun_ < 0) {
                frame_ = aniIn_->LastFrame();
                if (hoverCount_ <= 0 && aniOut_) {
                    state_ = PlayingOut;
                    frame_ = 0;
                    frameTime_ = 0;
                }
            } else {
                state_ = Idle;
                if (autorun_ == 0) {
                    frame_ = 0;
                }
                autorunPending_ = true;
            }
        }
        update();
    } else if (state_ == PlayingOut) {
        if (!aniOut_) {
            return;
        }
        if (frame_ >= aniOut_->LastFrame()) {
            state_ = Idle;
            // The idle picture (frame 0 of "ani_in") replaces the out-animation's last frame at once.
            update();
        } else {
            ++frame_;
            update();
        }
    }
}

std::pair<const kb::ui::Skin*, int> SAnimImg::ShownFrame() const {
    if (state_ == PlayingIn && aniIn_) {
        return {aniIn_.get(), frame_};
    }
    if (state_ == PlayingOut && aniOut_) {
        return {aniOut_.get(), frame_};
    }
    if (aniIn_) {
        return {aniIn_.get(), 0};
    }
    return {nullptr, 0};
}

QSize SAnimImg::sizeHint() const {
    return aniIn_ ? aniIn_->FrameSize() : QSize(0, 0);
}

void SAnimImg::paintEvent(QPaintEvent* /*event*/) {
    const auto [skin, frame] = ShownFrame();
    if (skin != nullptr) {
        QPainter painter(this);
        skin->Draw(painter, rect(), frame);
    }
}

void SAnimImg::enterEvent(QEnterEvent* event) {
    PointerEntered();
    QWidget::enterEvent(event);
}

void SAnimImg::leaveEvent(QEvent* event) {
    PointerLeft();
    QWidget::leaveEvent(event);
}
