// The behaviour SCheckBoxEx and SRadioBoxEx share over their Qt button: skins, icon, text offsets, hover.
// moc cannot handle a template with Q_OBJECT, so this template carries the code and each class declares
// its Q_PROPERTYs over these accessors.
#pragma once

#include <QAbstractButton>
#include <QEnterEvent>
#include <QPainter>

#include "kb/ui/Skin.h"
#include "kb/widgets/ExButtonLook.h"

namespace kb::widgets {

template <class Button>
class ExButton : public Button {
  public:
    explicit ExButton(QWidget* parent) : Button(parent) { this->setAttribute(Qt::WA_Hover); }

    QString skin() const { return look_.skin; }
    void setSkin(const QString& name) {
        look_.skin = name;
        this->updateGeometry();
        this->update();
    }
    QString focusSkin() const { return look_.focusSkin; }
    void setFocusSkin(const QString& name) { look_.focusSkin = name; }
    QString iconSkin() const { return look_.iconSkin; }
    void setIconSkin(const QString& name) {
        look_.iconSkin = name;
        this->update();
    }
    QString iconPos() const { return QStringLiteral("%1,%2").arg(look_.iconPos.x()).arg(look_.iconPos.y()); }
    void setIconPos(const QString& text) {
        look_.iconPos = ExButtonLook::ParseIconPos(text);
        this->update();
    }
    int textX() const { return look_.textX; }
    void setTextX(int x) {
        look_.textX = x;
        this->update();
    }
    int textY() const { return look_.textY; }
    void setTextY(int y) {
        look_.textY = y;
        this->update();
    }

    QRect TextRect() const { return look_.TextRect(this->rect()); }
    int SkinFrame() const {
        auto box = kb::ui::SkinPool::Shared().Find(look_.skin);
        return ExButtonLook::SkinFrame(this->isDown(), hovered_, this->isChecked(), box ? box->Frames() : 0);
    }
    int IconState() const {
        return ExButtonLook::IconState(this->isEnabled(), this->isDown(), hovered_, this->isChecked());
    }
    bool IsHovered() const { return hovered_; }

    QSize sizeHint() const override {
        if (auto box = kb::ui::SkinPool::Shared().Find(look_.skin)) {
            return box->FrameSize();
        }
        return Button::sizeHint();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        if (!look_.DrawsItself()) {
            Button::paintEvent(event);
            return;
        }
        QPainter painter(this);
        look_.Paint(painter, *this, hovered_);
    }
    bool hitButton(const QPoint& pos) const override {
        // A skinned box is clickable all over, not only on the style's indicator and label.
        return look_.DrawsItself() ? this->rect().contains(pos) : Button::hitButton(pos);
    }
    void enterEvent(QEnterEvent* event) override {
        hovered_ = true;
        this->update();
        Button::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        hovered_ = false;
        this->update();
        Button::leaveEvent(event);
    }

  private:
    ExButtonLook look_;
    bool hovered_ = false;
};

}  // namespace kb::widgets
