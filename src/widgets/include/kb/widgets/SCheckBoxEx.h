// A check box drawn from skins, with an icon and offsets for its text.
#pragma once

#include <QCheckBox>

#include "kb/widgets/ExButton.h"

class SCheckBoxEx : public kb::widgets::ExButton<QCheckBox> {
    Q_OBJECT
    Q_PROPERTY(QString skin READ skin WRITE setSkin)
    Q_PROPERTY(QString focusSkin READ focusSkin WRITE setFocusSkin)
    Q_PROPERTY(QString iconSkin READ iconSkin WRITE setIconSkin)
    Q_PROPERTY(QString iconPos READ iconPos WRITE setIconPos)
    Q_PROPERTY(int textX READ textX WRITE setTextX)
    Q_PROPERTY(int textY READ textY WRITE setTextY)
  public:
    static constexpr const char16_t* kElementName = u"checkex";

    explicit SCheckBoxEx(QWidget* parent = nullptr) : ExButton(parent) {}
};
