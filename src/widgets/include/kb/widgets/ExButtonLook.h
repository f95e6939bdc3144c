// What SCheckBoxEx and SRadioBoxEx add to their Qt base: a box skin, an icon skin, and text offsets.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

class QAbstractButton;
class QPainter;

namespace kb::widgets {

struct ExButtonLook {
    QString skin;
    QString focusSkin;  // drawn over the box while it has the focus; an outline when not given
    QString iconSkin;
    QPoint iconPos;
    int textX = 0;
    int textY = 0;

    bool DrawsItself() const { return !skin.isEmpty() || !iconSkin.isEmpty(); }

    // "x,y" read as sscanf's "%d,%d": "4 ,6" gives 4,0 and "a,5" gives 0,0.
    static QPoint ParseIconPos(const QString& text);

    QRect TextRect(const QRect& client) const;
    // Frame of the box skin: 2 pressed, 1 hovered, last when checked, else 0.
    static int SkinFrame(bool pressed, bool hovered, bool checked, int frames);
    // Frame of the icon skin: 0 normal, 1 hover, 2 pressed, 3 disabled; +4 when checked.
    static int IconState(bool enabled, bool pressed, bool hovered, bool checked);

    void Paint(QPainter& painter, const QAbstractButton& button, bool hovered) const;
};

}  // namespace kb::widgets
