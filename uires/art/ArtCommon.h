// What the art generator's drawings share: the theme's palette and a few painting helpers.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <cmath>

namespace kbart {

// The theme's palette; the style sheet uses the same values.
inline const QColor kCaseTop(0x1c, 0x20, 0x27);
inline const QColor kCaseBottom(0x0f, 0x11, 0x15);
inline const QColor kPlate(0x09, 0x0b, 0x0e);
inline const QColor kCapTop(0x2c, 0x31, 0x3b);
inline const QColor kCapBottom(0x1d, 0x21, 0x28);
inline const QColor kMuted(0x8a, 0x92, 0xa3);
inline const QColor kAccent(0x19, 0xd3, 0xff);   // cyan: hover, focus, selection
inline const QColor kAccent2(0xff, 0x3d, 0x7f);  // magenta: assigned keys, recording
inline const QColor kControl(0x1d, 0x21, 0x29);
inline const QColor kBorder(0x34, 0x3a, 0x46);

inline QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

inline QColor Mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t),
                            static_cast<float>(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

inline QImage NewImage(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

inline QFont Font(qreal pixelSize, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(static_cast<int>(std::lround(pixelSize)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

inline QPainterPath Rounded(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

}  // namespace kbart
