#include "kb/widgets/SAnimImg.h"

#include <QPainter>

#include "kb/ui/Skin.h"
#include "kb/ui/Timeline.h"

SAnimImg::SAnimImg(QWidget* parent) : QWidget(parent) {
    tickHandle_ = kb::ui::Timeline::Shared().Register([this] { OnTick(); });
    autorunWait_.setSingleShot(true);
    connect(&autorunWait_, &QTimer::timeout, this, [this] {
        if (state_ == Idle && autorunPending_) {
            autorunElapsed_ = autorunCountdown_;  // due: the next tick starts the animation
            kb::ui::Timeline::Shared().SetBusy(tickHandle_, true);
        }
    });
    UpdateBusy();
}

void SAnimImg::UpdateBusy() {
    kb::ui::Timeline& timeline = kb::ui::Timeline::Shared();
    bool animating = false;
    if (state_ == PlayingIn && aniIn_) {
        // The last frame held while the pointer stays (or without an out-animation) needs no ticks.
        const bool holding = frame_ >= aniIn_->LastFrame() && autorun_ < 0 && (hoverCount_ > 0 || !aniOut_);
        animating = !holding;
    } else if (state_ == PlayingOut) {
        animating = aniOut_ != nullptr;
    }
    const bool waiting = state_ == Idle && autorunPending_;
    if (waiting && timeline.IsTimerEnabled() && autorunElapsed_ < autorunCountdown_) {
        if (!autorunWait_.isActive()) {
            autorunWait_.start(autorunCountdown_ - autorunElapsed_);
        }
        timeline.SetBusy(tickHandle_, false);
        return;
    }
    autorunWait_.stop();
    timeline.SetBusy(tickHandle_, animating || waiting);
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
    autorunWait_.stop();
    UpdateBusy();
}

void SAnimImg::setAniIn(const QString& name) {
    aniInName_ = name;
    aniIn_ = kb::ui::SkinPool::Shared().Find(name);
    updateGeometry();
    update();
    UpdateBusy();
}

void SAnimImg::setAniOut(const QString& name) {
    aniOutName_ = name;
    aniOut_ = kb::ui::SkinPool::Shared().Find(name);
    update();
    UpdateBusy();
}

void SAnimImg::PointerEntered() {
    ++hoverCount_;
    state_ = PlayingIn;
    frame_ = 0;
    frameTime_ = 0;
    autorunElapsed_ = 0;
    update();
    UpdateBusy();
}

void SAnimImg::PointerLeft() {
    --hoverCount_;
    UpdateBusy();
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
    UpdateBusy();
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
