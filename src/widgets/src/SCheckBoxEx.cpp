#include "kb/widgets/SCheckBoxEx.h"

#include <QPainter>

#include "kb/ui/Skin.h"

SCheckBoxEx::SCheckBoxEx(QWidget* parent) : QCheckBox(parent) {
    setAttribute(Qt::WA_Hover);
}

void SCheckBoxEx::setSkin(const QString& name) {
    look_.skin = name;
    updateGeometry();
    update();
}

void SCheckBoxEx::setIconSkin(const QString& name) {
    look_.iconSkin = name;
    update();
}

QString SCheckBoxEx::iconPos() const {
    return QStringLiteral("%1,%2").arg(look_.iconPos.x()).arg(look_.iconPos.y());
}

void SCheckBoxEx::setIconPos(const QString& text) {
    look_.iconPos = kb::widgets::ExButtonLook::ParseIconPos(text);
    update();
}

void SCheckBoxEx::setTextX(int x) {
    look_.textX = x;
    update();
}

void SCheckBoxEx::setTextY(int y) {
    look_.textY = y;
    update();
}

int SCheckBoxEx::SkinFrame() const {
    auto box = kb::ui::SkinPool::Shared().Find(look_.skin);
    return kb::widgets::ExButtonLook::SkinFrame(isDown(), hovered_, isChecked(), box ? box->Frames() : 0);
}

int SCheckBoxEx::IconState() const {
    return kb::widgets::ExButtonLook::IconState(isEnabled(), isDown(), hovered_, isChecked());
}

QSize SCheckBoxEx::sizeHint() const {
    if (auto box = kb::ui::SkinPool::Shared().Find(look_.skin)) {
        return box->FrameSize();
    }
    return QCheckBox::sizeHint();
}

void SCheckBoxEx::paintEvent(QPaintEvent* event) {
    if (!look_.DrawsItself()) {
        QCheckBox::paintEvent(event);
        return;
    }
    QPainter painter(this);
    look_.Paint(painter, *this, hovered_);
}

bool SCheckBoxEx::hitButton(const QPoint& pos) const {
    // A skinned box is clickable all over, not only on the style's indicator and label.
    return look_.DrawsItself() ? rect().contains(pos) : QCheckBox::hitButton(pos);
}

void SCheckBoxEx::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QCheckBox::enterEvent(event);
}

void SCheckBoxEx::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QCheckBox::leaveEvent(event);
}
