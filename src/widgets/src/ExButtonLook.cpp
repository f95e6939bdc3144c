#include "kb/widgets/ExButtonLook.h"

#include <QAbstractButton>
#include <QPainter>
#include <string>
#include <string_view>

#include "kb/common/NumberText.h"
#include "kb/ui/Skin.h"

namespace kb::widgets {

QPoint ExButtonLook::ParseIconPos(const QString& text) {
    // As sscanf(text, "%d,%d"): the comma must follow the first number at once, and a number that does
    // not read leaves its coordinate (and the one after it) at 0.
    const std::u16string chars = text.toStdU16String();
    const std::u16string_view view(chars);
    std::size_t used = 0;
    const int x = kb::StrToLong32(view, 10, &used);
    if (used == 0 || used >= view.size() || view[used] != u',') {
        return {x, 0};
    }
    return {x, kb::StrToLong32(view.substr(used + 1), 10)};
}

QRect ExButtonLook::TextRect(const QRect& client) const {
    int iconWidth = 0;
    if (auto icon = kb::ui::SkinPool::Shared().Find(iconSkin)) {
        iconWidth = icon->FrameSize().width();
    }
    QRect text = client;
    text.setLeft(client.left() + iconPos.x() + iconWidth + textX);
    text.setTop(client.top() + iconPos.y() + textY);
    return text;
}

int ExButtonLook::SkinFrame(bool pressed, bool hovered, bool checked, int frames) {
    if (pressed) {
        return 2;
    }
    if (hovered) {
        return 1;
    }
    if (checked) {
        return frames > 0 ? frames - 1 : 0;
    }
    return 0;
}

int ExButtonLook::IconState(bool enabled, bool pressed, bool hovered, bool checked) {
    int state = 0;
    if (!enabled) {
        state = 3;
    } else if (pressed) {
        state = 2;
    } else if (hovered) {
        state = 1;
    }
    return checked ? state + 4 : state;
}

void ExButtonLook::Paint(QPainter& painter, const QAbstractButton& button, bool hovered) const {
    const QRect client = button.rect();
    auto& pool = kb::ui::SkinPool::Shared();
    if (auto box = pool.Find(skin)) {
        box->Draw(painter, client, SkinFrame(button.isDown(), hovered, button.isChecked(), box->Frames()));
    }
    if (auto icon = pool.Find(iconSkin)) {
        const QRect target(client.topLeft() + iconPos, icon->FrameSize());
        icon->Draw(painter, target,
                   IconState(button.isEnabled(), button.isDown(), hovered, button.isChecked()));
    }
    painter.setFont(button.font());
    painter.setPen(button.palette().color(button.isEnabled() ? QPalette::Active : QPalette::Disabled,
                                          QPalette::ButtonText));
    painter.drawText(TextRect(client), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                     button.text());
    if (button.hasFocus()) {
        // Without a mark nobody working from the keyboard can tell which box Space would toggle.
        if (auto focus = pool.Find(focusSkin)) {
            focus->Draw(painter, client, 0);
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(button.palette().color(QPalette::Highlight), 2));
            painter.drawRoundedRect(QRectF(client).adjusted(1, 1, -1, -1), 4, 4);
        }
    }
}

}  // namespace kb::widgets
