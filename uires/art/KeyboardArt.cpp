// The keyboard picture: the case and every cap of the coordinate file, in one of three states.
#include "KeyboardArt.h"

#include <QFile>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QXmlStreamReader>
#include <algorithm>

#include "ArtCommon.h"

namespace kbart {
namespace {

QRectF RectAttribute(const QXmlStreamAttributes& attrs, const char* name) {
    const QStringList parts =
        attrs.value(QLatin1String(name)).toString().remove(QLatin1Char(' ')).split(QLatin1Char(','));
    if (parts.size() != 4) {
        return {};
    }
    return {parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble(), parts[3].toDouble()};
}

}  // namespace

bool ReadKeys(const QString& path, std::vector<Key>& keys) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() == QLatin1String("positions")) {
            continue;
        }
        const auto attrs = xml.attributes();
        const QRectF rect = RectAttribute(attrs, "rect");
        if (rect.isEmpty()) {
            continue;
        }
        keys.push_back({rect, RectAttribute(attrs, "upper"), attrs.value(QLatin1String("legend")).toString(),
                        attrs.value(QLatin1String("shift")).toString()});
    }
    return !xml.hasError() && !keys.empty();
}

namespace {

// A cap's outline: its rectangle, joined with its upper part where it has one.
QPainterPath CapOutline(const Key& key, qreal dl, qreal dt, qreal dr, qreal db, qreal radius) {
    QPainterPath path = Rounded(key.rect.adjusted(dl, dt, dr, db), radius);
    if (!key.upper.isEmpty()) {
        path = path.united(Rounded(key.upper.adjusted(dl, dt, dr, db), radius));
    }
    return path;
}

void DrawCase(QPainter& p, const QSize& size) {
    const QRectF outer(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, kCaseTop);
    g.setColorAt(1, kCaseBottom);
    p.setPen(QPen(QColor(0x3a, 0x40, 0x4c), 1.0));
    p.setBrush(g);
    p.drawPath(Rounded(outer, 14));
    // Light strip along the front edge: the side light.
    QLinearGradient strip(0, 0, size.width(), 0);
    strip.setColorAt(0.0, WithAlpha(kAccent, 0));
    strip.setColorAt(0.2, WithAlpha(kAccent, 170));
    strip.setColorAt(0.5, WithAlpha(QColor(0x8a, 0x5c, 0xff), 190));
    strip.setColorAt(0.8, WithAlpha(kAccent2, 170));
    strip.setColorAt(1.0, WithAlpha(kAccent2, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(strip);
    p.drawRoundedRect(QRectF(40, size.height() - 4.0, size.width() - 80.0, 2.0), 1, 1);
    // Top bevel highlight.
    p.setPen(QPen(QColor(255, 255, 255, 22), 1.0));
    p.drawLine(QPointF(16, 1.5), QPointF(size.width() - 16.0, 1.5));
    // Recessed plate behind the caps.
    const QRectF plate(12, 12, size.width() - 24.0, size.height() - 26.0);
    p.setPen(QPen(QColor(0, 0, 0, 160), 1.0));
    p.setBrush(kPlate);
    p.drawPath(Rounded(plate, 8));
    // Brand mark between the function block and the lock lights area.
    p.setPen(WithAlpha(kMuted, 150));
    p.setFont(Font(9, true));
    p.drawText(QRectF(size.width() - 190.0, 22, 170, 30), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("KBSTUDIO"));
}

// The cap's body and its lifted top face.
void DrawCapBody(QPainter& p, const Key& key, CapState state) {
    QColor top = kCapTop;
    QColor bottom = kCapBottom;
    if (state == CapState::Hover) {
        top = QColor(0x3b, 0x44, 0x54);
        bottom = QColor(0x2a, 0x31, 0x3d);
    } else if (state == CapState::Marked) {
        top = QColor(0x3a, 0x1f, 0x2e);
        bottom = QColor(0x2a, 0x16, 0x22);
    }
    const QPainterPath body = CapOutline(key, 0.5, 0.5, -0.5, -0.5, 5);
    // Translucent so the key's backlight colour glows faintly at its skirt.
    QLinearGradient bodyGrad(body.boundingRect().topLeft(), body.boundingRect().bottomLeft());
    bodyGrad.setColorAt(0, top);
    bodyGrad.setColorAt(1, bottom);
    const QColor edge = state == CapState::Hover    ? kAccent
                        : state == CapState::Marked ? kAccent2
                                                    : QColor(0x45, 0x4c, 0x59);
    p.setPen(QPen(edge, state == CapState::Normal ? 1.0 : 1.6));
    p.setBrush(bodyGrad);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawPath(body);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const QPainterPath face = CapOutline(key, 3.5, 2.5, -3.5, -5.5, 4);
    QLinearGradient faceGrad(face.boundingRect().topLeft(), face.boundingRect().bottomLeft());
    faceGrad.setColorAt(0, top.lighter(state == CapState::Normal ? 118 : 112));
    faceGrad.setColorAt(1, top);
    p.setPen(QPen(QColor(255, 255, 255, state == CapState::Normal ? 14 : 30), 1.0));
    p.setBrush(faceGrad);
    p.drawPath(face);
}

// Words (Esc, Shift, F1…) are printed small; single symbols large, with the shifted one above.
void DrawLegend(QPainter& p, const Key& key, const QRectF& face) {
    const bool word = key.legend.size() > 1;
    if (word && face.width() > 44) {
        p.setFont(Font(9.5, true));
        p.drawText(face.adjusted(4, 2, -3, -2), Qt::AlignLeft | Qt::AlignBottom, key.legend);
    } else if (word) {
        // Words on single-width caps: the largest size that fits.
        qreal px = 10;
        while (px > 6.5 && QFontMetricsF(Font(px, true)).horizontalAdvance(key.legend) > face.width() - 3) {
            px -= 0.5;
        }
        p.setFont(Font(px, true));
        p.drawText(face, Qt::AlignCenter, key.legend);
    } else if (!key.shift.isEmpty()) {
        p.setFont(Font(9, true));
        p.drawText(face.adjusted(0, 1, 0, -face.height() / 2.0), Qt::AlignHCenter | Qt::AlignVCenter,
                   key.shift);
        p.setFont(Font(11.5, true));
        p.drawText(face.adjusted(0, face.height() / 2.0 - 3, 0, 0), Qt::AlignHCenter | Qt::AlignVCenter,
                   key.legend);
    } else {
        p.setFont(Font(13, true));
        p.drawText(face, Qt::AlignCenter, key.legend);
    }
}

// Assigned keys carry a glowing dot in the corner; hovered ones a soft cyan bloom at the top edge.
void DrawCapAccent(QPainter& p, const Key& key, CapState state) {
    const QRectF r = key.rect.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(Qt::NoPen);
    if (state == CapState::Marked) {
        const QPointF c(r.right() - 6.5, r.top() + 6.5);
        QRadialGradient glow(c, 5);
        glow.setColorAt(0, kAccent2);
        glow.setColorAt(0.5, WithAlpha(kAccent2, 200));
        glow.setColorAt(1, WithAlpha(kAccent2, 0));
        p.setBrush(glow);
        p.drawEllipse(c, 5, 5);
        p.setBrush(QColor(0xff, 0xe0, 0xea));
        p.drawEllipse(c, 1.6, 1.6);
    } else if (state == CapState::Hover) {
        const QPainterPath outline = CapOutline(key, 1.5, 1.5, -1.5, -1.5, 4);
        const QRectF top = key.upper.isEmpty() ? r : key.upper;
        QLinearGradient bloom(top.topLeft(), QPointF(top.left(), top.top() + top.height() / 2));
        bloom.setColorAt(0, WithAlpha(kAccent, 60));
        bloom.setColorAt(1, WithAlpha(kAccent, 0));
        p.setBrush(bloom);
        p.drawPath(outline);
    }
}

void DrawCap(QPainter& p, const Key& key, CapState state) {
    DrawCapBody(p, key, state);
    // The legend goes where the cap is a whole row high and the widget paints the key's colour: on an
    // ISO Enter, the part of its top row that lies over its clickable area.
    const QRectF top = key.upper.isEmpty() ? key.rect : key.upper.intersected(key.rect);
    const QRectF face = top.adjusted(0.5, 0.5, -0.5, -0.5).adjusted(3, 2, -3, -5);
    // On the normal cap the legend is cut half-transparent, so the key's colour, which the widget
    // paints under the picture, lights it; the overlays draw it solid.
    const QColor ink = state == CapState::Hover    ? QColor(0xd8, 0xf6, 0xff)
                       : state == CapState::Marked ? QColor(0xff, 0xc2, 0xd6)
                                                   : QColor(255, 255, 255, 78);
    p.setCompositionMode(state == CapState::Normal ? QPainter::CompositionMode_Source
                                                   : QPainter::CompositionMode_SourceOver);
    p.setPen(ink);
    DrawLegend(p, key, face);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    DrawCapAccent(p, key, state);
}

QSize PictureSize(const std::vector<Key>& keys) {
    qreal right = 0;
    qreal bottom = 0;
    for (const Key& k : keys) {
        const QRectF whole = k.rect.united(k.upper);
        right = std::max(right, whole.right());
        bottom = std::max(bottom, whole.bottom());
    }
    return {static_cast<int>(std::ceil(right)) + 22, static_cast<int>(std::ceil(bottom)) + 22};
}

}  // namespace

QImage KeyboardImage(const std::vector<Key>& keys, CapState state) {
    const QSize size = PictureSize(keys);
    QImage img = NewImage(size.width(), size.height());
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawCase(p, size);
    for (const Key& k : keys) {
        DrawCap(p, k, state);
    }
    return img;
}

}  // namespace kbart
