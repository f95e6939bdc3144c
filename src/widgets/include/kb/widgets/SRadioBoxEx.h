// A radio box drawn from skins, with an icon and offsets for its text.
#pragma once

#include <QRadioButton>

#include "kb/widgets/ExButtonLook.h"

class SRadioBoxEx : public QRadioButton {
    Q_OBJECT
    Q_PROPERTY(QString skin READ skin WRITE setSkin)
    Q_PROPERTY(QString focusSkin READ focusSkin WRITE setFocusSkin)
    Q_PROPERTY(QString iconSkin READ iconSkin WRITE setIconSkin)
    Q_PROPERTY(QString iconPos READ iconPos WRITE setIconPos)
    Q_PROPERTY(int textX READ textX WRITE setTextX)
    Q_PROPERTY(int textY READ textY WRITE setTextY)
    Q_PROPERTY(QString iconAlign READ iconAlign WRITE setIconAlign)
    Q_PROPERTY(QString iconValign READ iconValign WRITE setIconValign)
  public:
    static constexpr const char16_t* kElementName = u"radioex";

    explicit SRadioBoxEx(QWidget* parent = nullptr);

    QString skin() const { return look_.skin; }
    void setSkin(const QString& name);
    QString focusSkin() const { return look_.focusSkin; }
    void setFocusSkin(const QString& name) { look_.focusSkin = name; }
    QString iconSkin() const { return look_.iconSkin; }
    void setIconSkin(const QString& name);
    QString iconPos() const;
    void setIconPos(const QString& text);
    int textX() const { return look_.textX; }
    void setTextX(int x);
    int textY() const { return look_.textY; }
    void setTextY(int y);

    // Kept for layouts; the drawing places the icon by iconPos only.
    QString iconAlign() const { return iconAlign_; }
    void setIconAlign(const QString& value) { iconAlign_ = value; }
    QString iconValign() const { return iconValign_; }
    void setIconValign(const QString& value) { iconValign_ = value; }

    QRect TextRect() const { return look_.TextRect(rect()); }
    int SkinFrame() const;
    int IconState() const;
    bool IsHovered() const { return hovered_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    kb::widgets::ExButtonLook look_;
    bool hovered_ = false;
    QString iconAlign_;
    QString iconValign_;
};
