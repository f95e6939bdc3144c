#include "kb/widgets/SRadioBoxEx.h"

#include <QPainter>

#include "kb/ui/Skin.h"

SRadioBoxEx::SRadioBoxEx(QWidget* parent) : QRadioButton(parent) {
    setAttribute(Qt::WA_Hover);
}

void SRadioBoxEx::setSkin(const QString& name) {
    look_.skin = name;
    updateGeometry();
    update();
}

void SRadioBoxEx::setIconSkin(const QString& name) {
    look_.iconSkin = name;
    update();
}

QString SRadioBoxEx::iconPos() const {
    return QStringLiteral("%1,%2").arg(look_.iconPos.x()).arg(look_.iconPos.y());
}

void SRadioBoxEx::setIconPos(const QString& text) {
    look_.iconPos = kb::widgets::ExButtonLook::ParseIconPos(text);
    update();
}

void SRadioBoxEx::setTextX(int x) {
    look_.textX = x;
    update();
}

void SRadioBoxEx::setTextY(int y) {
    look_.textY = y;
    update();
}

int SRadioBoxEx::SkinFrame() const {
    auto box = kb::ui::SkinPool::Shared().Find(look_.skin);
    return kb::widgets::ExButtonLook::SkinFrame(isDown(), hovered_, isChecked(), box ? box->Frames() : 0);
}

int SRadioBoxEx::IconState() const {
    return kb::widgets::ExButtonLook::IconState(isEnabled(), isDown(), hovered_, isChecked());
}

QSize SRadioBoxEx::sizeHint() const {
    if (auto box = kb::ui::SkinPool::Shared().Find(look_.skin)) {
        return box->FrameSize();
    }
    return QRadioButton::sizeHint();
}

void SRadioBoxEx::paintEvent(QPaintEvent* event) {
    if (!look_.DrawsItself()) {
        QRadioButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    look_.Paint(painter, *this, hovered_);
}

bool SRadioBoxEx::hitButton(const QPoint& pos) const {
    // A skinned box is clickable all over, not only on the style's indicator and label.
    return look_.DrawsItself() ? rect().contains(pos) : QRadioButton::hitButton(pos);
}

void SRadioBoxEx::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QRadioButton::enterEvent(event);
}

void SRadioBoxEx::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QRadioButton::leaveEvent(event);
}
