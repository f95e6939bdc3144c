// A radio box drawn from skins, with an icon and offsets for its text.
#pragma once

#include <QRadioButton>

#include "kb/widgets/ExButton.h"

class SRadioBoxEx : public kb::widgets::ExButton<QRadioButton> {
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

    explicit SRadioBoxEx(QWidget* parent = nullptr) : ExButton(parent) {}

    // Kept for layouts; the drawing places the icon by iconPos only.
    QString iconAlign() const { return iconAlign_; }
    void setIconAlign(const QString& value) { iconAlign_ = value; }
    QString iconValign() const { return iconValign_; }
    void setIconValign(const QString& value) { iconValign_ = value; }

  private:
    QString iconAlign_;
    QString iconValign_;
};
