// Draws every image of the UI package from code, so that the art has a source in the repository:
// the keyboard picture (background, hover and marked states) from the coordinate file, the frame
// strips of the extended check and radio boxes, the tab header icons with their in/out animations,
// the window buttons, the logo and the tray icon.
//
// Usage: kbart <coordinate file> <output folder>
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cstdio>
#include <functional>
#include <vector>

#include "ArtCommon.h"
#include "KeyboardArt.h"

namespace {

using namespace kbart;

bool Save(const QImage& img, const QString& dir, const QString& name) {
    const QString path = dir + QLatin1Char('/') + name;
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "kbart: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Frames side by side, as the skins read them.
QImage Strip(int frameW, int frameH, int frames, const std::function<void(QPainter&, int)>& draw) {
    QImage img = NewImage(frameW * frames, frameH);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int i = 0; i < frames; ++i) {
        p.save();
        p.translate(frameW * i, 0);
        p.setClipRect(0, 0, frameW, frameH);
        draw(p, i);
        p.restore();
    }
    return img;
}

// ---------------------------------------------------------------------------------------------
// Extended check and radio boxes

// Four frames: normal, hover, pressed, checked (the box shows its last frame when checked).
QImage ButtonStrip(int w, int h, const QColor& checkedColor) {
    return Strip(w, h, 4, [&](QPainter& p, int frame) {
        const QRectF r(1, 1, w - 2.0, h - 2.0);
        QColor fill = kControl;
        QColor border = kBorder;
        if (frame == 1) {
            fill = QColor(0x25, 0x2b, 0x35);
            border = kAccent;
        } else if (frame == 2) {
            fill = QColor(0x14, 0x17, 0x1c);
            border = kAccent.darker(130);
        } else if (frame == 3) {
            fill = checkedColor.darker(260);
            border = checkedColor;
        }
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, fill.lighter(112));
        g.setColorAt(1, fill);
        p.setPen(QPen(border, 1.2));
        p.setBrush(g);
        p.drawRoundedRect(r, 6, 6);
        if (frame == 3) {
            QLinearGradient shine(r.topLeft(), r.bottomLeft());
            shine.setColorAt(0, WithAlpha(checkedColor, 70));
            shine.setColorAt(1, WithAlpha(checkedColor, 10));
            p.setPen(Qt::NoPen);
            p.setBrush(shine);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 5, 5);
        }
    });
}

// Eight states in the check-box order: unchecked normal, hover, pressed, disabled; then checked.
QImage GlyphStrip(int size, bool round) {
    return Strip(size, size, 8, [&](QPainter& p, int i) {
        const bool checked = i >= 4;
        const int s = i % 4;
        const QRectF r(1.5, 1.5, size - 3.0, size - 3.0);
        QColor border = s == 1 ? kAccent : s == 3 ? QColor(0x3a, 0x3f, 0x49) : QColor(0x5a, 0x62, 0x72);
        QColor fill = s == 2 ? QColor(0x10, 0x13, 0x17) : kControl;
        QColor mark = s == 3 ? QColor(0x55, 0x5c, 0x68) : kAccent;
        if (checked) {
            border = s == 3 ? QColor(0x3a, 0x3f, 0x49) : s == 1 ? kAccent.lighter(125) : kAccent;
        }
        p.setPen(QPen(border, 1.4));
        p.setBrush(fill);
        if (round) {
            p.drawEllipse(r);
        } else {
            p.drawRoundedRect(r, 4, 4);
        }
        if (!checked) {
            return;
        }
        if (round) {
            p.setPen(Qt::NoPen);
            QRadialGradient dot(r.center(), r.width() / 2);
            dot.setColorAt(0, mark.lighter(130));
            dot.setColorAt(1, mark);
            p.setBrush(dot);
            p.drawEllipse(r.center(), r.width() * 0.26, r.width() * 0.26);
        } else {
            p.setBrush(mark);
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
            QPainterPath tick;
            tick.moveTo(r.left() + r.width() * 0.24, r.top() + r.height() * 0.52);
            tick.lineTo(r.left() + r.width() * 0.43, r.top() + r.height() * 0.70);
            tick.lineTo(r.left() + r.width() * 0.77, r.top() + r.height() * 0.32);
            p.setPen(QPen(QColor(0x06, 0x1a, 0x22), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
        }
    });
}

// Record indicator, eight check-box states: a ring when off, a glowing dot when recording.
QImage RecordGlyph(int size) {
    return Strip(size, size, 8, [&](QPainter& p, int i) {
        const bool on = i >= 4;
        const QPointF c(size / 2.0, size / 2.0);
        const qreal radius = size / 2.0 - 2;
        if (on) {
            QRadialGradient glow(c, radius + 1);
            glow.setColorAt(0.0, kAccent2.lighter(130));
            glow.setColorAt(0.55, kAccent2);
            glow.setColorAt(1.0, WithAlpha(kAccent2, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(c, radius + 1, radius + 1);
        } else {
            p.setPen(QPen(i % 4 == 1 ? kAccent2 : QColor(0xb0, 0x4a, 0x6a), 1.6));
            p.setBrush(QColor(0x3a, 0x14, 0x22));
            p.drawEllipse(c, radius - 1.5, radius - 1.5);
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Tab headers of the assignment dialog: icons and their hover animations

void DrawTabIcon(QPainter& p, int which, const QRectF& r, const QColor& ink) {
    p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal x = r.left();
    const qreal y = r.top();
    const qreal w = r.width();
    switch (which) {
        case 0: {  // macro: a sequence of steps
            for (int i = 0; i < 3; ++i) {
                const qreal yy = y + w * (0.25 + 0.25 * i);
                p.drawEllipse(QPointF(x + w * 0.22, yy), 1.6, 1.6);
                p.drawLine(QPointF(x + w * 0.38, yy), QPointF(x + w * (0.82 - 0.12 * i), yy));
            }
            break;
        }
        case 1: {  // single key: one keycap
            p.drawRoundedRect(QRectF(x + w * 0.16, y + w * 0.16, w * 0.68, w * 0.68), 4, 4);
            p.drawRoundedRect(QRectF(x + w * 0.28, y + w * 0.24, w * 0.44, w * 0.40), 2, 2);
            break;
        }
        case 2: {  // media key: play triangle and bars
            QPainterPath tri;
            tri.moveTo(x + w * 0.18, y + w * 0.24);
            tri.lineTo(x + w * 0.54, y + w * 0.50);
            tri.lineTo(x + w * 0.18, y + w * 0.76);
            tri.closeSubpath();
            p.drawPath(tri);
            p.drawLine(QPointF(x + w * 0.66, y + w * 0.26), QPointF(x + w * 0.66, y + w * 0.74));
            p.drawLine(QPointF(x + w * 0.82, y + w * 0.26), QPointF(x + w * 0.82, y + w * 0.74));
            break;
        }
        default: {  // function key: two keys joined by a plus
            p.drawRoundedRect(QRectF(x + w * 0.08, y + w * 0.30, w * 0.34, w * 0.40), 3, 3);
            p.drawRoundedRect(QRectF(x + w * 0.58, y + w * 0.30, w * 0.34, w * 0.40), 3, 3);
            p.drawLine(QPointF(x + w * 0.50, y + w * 0.40), QPointF(x + w * 0.50, y + w * 0.60));
            p.drawLine(QPointF(x + w * 0.44, y + w * 0.50), QPointF(x + w * 0.56, y + w * 0.50));
            break;
        }
    }
}

// t from 0 (resting) to 1 (fully lit): the icon turns cyan inside a growing halo.
void DrawLitIcon(QPainter& p, int which, int size, qreal t) {
    const QRectF r(0, 0, size, size);
    if (t > 0) {
        QRadialGradient halo(r.center(), size / 2.0);
        halo.setColorAt(0, WithAlpha(kAccent, static_cast<int>(90 * t)));
        halo.setColorAt(1, WithAlpha(kAccent, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(r);
    }
    const qreal inset = 4 - 1.5 * t;
    DrawTabIcon(p, which, r.adjusted(inset, inset, -inset, -inset), Mix(kMuted, kAccent, t));
}

// ---------------------------------------------------------------------------------------------
// Window chrome, logo, tray icon

// Window button glyph on a transparent square; the style sheet draws the hover background.
QImage ChromeIcon(int size, const std::function<void(QPainter&, const QColor&)>& glyph) {
    QImage img = NewImage(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glyph(p, QColor(0xc9, 0xd1, 0xdc));
    return img;
}

void DrawLogo(QPainter& p, qreal size, qreal shine) {
    const QRectF r(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kAccent);
    g.setColorAt(1, kAccent2);
    // Keycap silhouette with a gradient rim.
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, size * 0.2, size * 0.2);
    const QRectF inner = r.adjusted(size * 0.07, size * 0.07, -size * 0.07, -size * 0.1);
    p.setBrush(QColor(0x14, 0x17, 0x1d));
    p.drawRoundedRect(inner, size * 0.14, size * 0.14);
    // A "K" made of a bar and a chevron, in the gradient.
    QPen pen(QBrush(g), size * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const qreal l = inner.left() + inner.width() * 0.3;
    const qreal t = inner.top() + inner.height() * 0.24;
    const qreal b = inner.top() + inner.height() * 0.76;
    p.drawLine(QPointF(l, t), QPointF(l, b));
    QPainterPath chevron;
    chevron.moveTo(inner.left() + inner.width() * 0.72, t);
    chevron.lineTo(l + size * 0.04, inner.center().y());
    chevron.lineTo(inner.left() + inner.width() * 0.72, b);
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
    if (shine > 0 && shine < 1) {
        // A light sweep crossing the cap.
        p.save();
        p.setClipPath(Rounded(r, size * 0.2));
        const qreal x = r.left() - size * 0.5 + shine * size * 1.8;
        QLinearGradient sweep(QPointF(x, 0), QPointF(x + size * 0.35, size * 0.2));
        sweep.setColorAt(0, QColor(255, 255, 255, 0));
        sweep.setColorAt(0.5, QColor(255, 255, 255, 90));
        sweep.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(sweep);
        p.drawRect(r);
        p.restore();
    }
}

QImage LogoImage(int size) {
    QImage img = NewImage(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawLogo(p, size, 0);
    return img;
}

// The application's icon for menus and launchers, drawn like the tray icon (the logo on a dark rounded
// square) at each size of the hicolor theme: <out>/<N>x<N>/apps/kbstudio.png.
bool SaveAppIcons(const QString& out) {
    bool ok = true;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        if (!QDir().mkpath(dir)) {
            std::fprintf(stderr, "kbart: cannot create %s\n", qPrintable(dir));
            return false;
        }
        QImage img = NewImage(size, size);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 64.0, size / 64.0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x10, 0x12, 0x16));
            p.drawRoundedRect(QRectF(0, 0, 64, 64), 14, 14);
            p.translate(4, 4);
            DrawLogo(p, 56, 0);
        }
        ok &= Save(img, dir, QStringLiteral("kbstudio.png"));
    }
    return ok;
}

QImage SolidImage(int w, int h, const std::function<void(QPainter&)>& draw) {
    QImage img = NewImage(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return img;
}

// ---------------------------------------------------------------------------------------------
// The package's files

bool SaveKeyboardImages(const std::vector<Key>& keys, const QString& out) {
    bool ok = Save(KeyboardImage(keys, CapState::Normal), out, QStringLiteral("kb_normal.png"));
    ok &= Save(KeyboardImage(keys, CapState::Hover), out, QStringLiteral("kb_hover.png"));
    ok &= Save(KeyboardImage(keys, CapState::Marked), out, QStringLiteral("kb_marked.png"));
    return ok;
}

bool SaveBoxImages(const QString& out) {
    bool ok = Save(ButtonStrip(136, 34, kAccent2), out, QStringLiteral("btn_record.png"));
    ok &= Save(GlyphStrip(18, false), out, QStringLiteral("ico_check.png"));
    ok &= Save(GlyphStrip(18, true), out, QStringLiteral("ico_radio.png"));
    ok &= Save(RecordGlyph(16), out, QStringLiteral("ico_record.png"));
    return ok;
}

// Tab header states: normal, hover, selected.
QImage TabItemStrip() {
    return Strip(150, 46, 3, [](QPainter& p, int i) {
        const QRectF r(0, 0, 150, 46);
        if (i == 1) {
            p.fillRect(r, QColor(255, 255, 255, 10));
        } else if (i == 2) {
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0, WithAlpha(kAccent, 0));
            g.setColorAt(1, WithAlpha(kAccent, 38));
            p.fillRect(r, g);
            p.fillRect(QRectF(14, 43, 122, 3), kAccent);
        }
    });
}

bool SaveTabImages(const QString& out) {
    constexpr int kIcon = 26;
    constexpr int kAniFrames = 6;
    bool ok = Save(Strip(kIcon, kIcon, 4, [](QPainter& p, int i) { DrawLitIcon(p, i, kIcon, 0); }), out,
                   QStringLiteral("tab_icons.png"));
    for (int page = 0; page < 4; ++page) {
        const auto lit = [page](bool in) {
            return [page, in](QPainter& p, int f) {
                const qreal t = (f + 1) / static_cast<qreal>(kAniFrames);
                DrawLitIcon(p, page, kIcon, in ? t : 1 - t);
            };
        };
        ok &= Save(Strip(kIcon, kIcon, kAniFrames, lit(true)), out,
                   QStringLiteral("tab_ani_in_%1.png").arg(page));
        ok &= Save(Strip(kIcon, kIcon, kAniFrames, lit(false)), out,
                   QStringLiteral("tab_ani_out_%1.png").arg(page));
    }
    ok &= Save(TabItemStrip(), out, QStringLiteral("tab_item.png"));
    ok &= Save(SolidImage(16, 46,
                          [](QPainter& p) {
                              p.fillRect(QRectF(0, 0, 16, 46), QColor(0x10, 0x12, 0x16, 0));
                              p.fillRect(QRectF(0, 45, 16, 1), kBorder);
                          }),
               out, QStringLiteral("tab_head_bg.png"));
    return ok;
}

bool SaveChromeImages(const QString& out) {
    const auto glyphMore = [](QPainter& p, const QColor& c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (int i = 0; i < 3; ++i) {
            p.drawRoundedRect(QRectF(9, 10.5 + 5 * i, 14, 2), 1, 1);
        }
    };
    const auto glyphMin = [](QPainter& p, const QColor& c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(10, 15.5, 12, 2), 1, 1);
    };
    const auto glyphClose = [](QPainter& p, const QColor& c) {
        p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
    };
    const auto glyphRestore = [](QPainter& p, const QColor& c) {
        p.setPen(QPen(c, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(10.5, 12.5, 9, 9), 1.5, 1.5);
        p.drawLine(QPointF(13.5, 10.5), QPointF(21.5, 10.5));
        p.drawLine(QPointF(21.5, 10.5), QPointF(21.5, 18.5));
    };
    bool ok = Save(ChromeIcon(32, glyphMore), out, QStringLiteral("ic_more.png"));
    ok &= Save(ChromeIcon(32, glyphMin), out, QStringLiteral("ic_min.png"));
    ok &= Save(ChromeIcon(32, glyphRestore), out, QStringLiteral("ic_restore.png"));
    ok &= Save(ChromeIcon(32, glyphClose), out, QStringLiteral("ic_close.png"));
    return ok;
}

bool SaveLogoImages(const QString& out) {
    bool ok = Save(LogoImage(256), out, QStringLiteral("logo.png"));
    ok &= Save(LogoImage(32), out, QStringLiteral("logo_32.png"));
    ok &= Save(LogoImage(16), out, QStringLiteral("logo_16.png"));
    ok &= Save(Strip(30, 30, 16, [](QPainter& p, int f) { DrawLogo(p, 30, f / 15.0); }), out,
               QStringLiteral("logo_ani.png"));
    // Tray icon: the logo on a dark disc, readable on light and dark panels.
    ok &= Save(SolidImage(64, 64,
                          [](QPainter& p) {
                              p.setPen(Qt::NoPen);
                              p.setBrush(QColor(0x10, 0x12, 0x16));
                              p.drawRoundedRect(QRectF(0, 0, 64, 64), 14, 14);
                              p.translate(4, 4);
                              DrawLogo(p, 56, 0);
                          }),
               out, QStringLiteral("tray.png"));
    return ok;
}

// Small glyphs for the style sheet: the combo box arrow, resting and hot.
bool SaveStyleGlyphs(const QString& out) {
    const auto arrow = [](const QColor& color) {
        return SolidImage(12, 8, [color](QPainter& p) {
            p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(1.5, 2), QPointF(6, 6.2), QPointF(10.5, 2)}));
        });
    };
    bool ok = Save(arrow(kMuted), out, QStringLiteral("arrow_down.png"));
    ok &= Save(arrow(kAccent), out, QStringLiteral("arrow_down_hot.png"));
    return ok;
}

// The language buttons' labels, each in its own language, drawn here so that an English window never
// loads the CJK font (megabytes of memory and start-up time) only for the word on the Chinese button.
bool SaveLanguageLabels(const QString& out) {
    const auto label = [](const QString& text) {
        return SolidImage(32, 16, [text](QPainter& p) {
            p.setPen(QColor(0xa7, 0xaf, 0xbd));
            p.setFont(Font(11, true));
            p.drawText(QRectF(0, 0, 32, 16), Qt::AlignCenter, text);
        });
    };
    bool ok = Save(label(QStringLiteral("\u4E2D\u6587")), out, QStringLiteral("lang_cn.png"));
    ok &= Save(label(QStringLiteral("EN")), out, QStringLiteral("lang_en.png"));
    return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--icons") == 0) {
        return SaveAppIcons(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: kbart <coordinate file> <output folder>\n");
        return 2;
    }
    const QString coords = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "kbart: cannot create %s\n", argv[2]);
        return 1;
    }
    std::vector<Key> keys;
    if (!ReadKeys(coords, keys)) {
        std::fprintf(stderr, "kbart: no keys in %s\n", argv[1]);
        return 1;
    }
    bool ok = SaveKeyboardImages(keys, out);
    ok &= SaveBoxImages(out);
    ok &= SaveTabImages(out);
    ok &= SaveChromeImages(out);
    ok &= SaveLogoImages(out);
    ok &= SaveStyleGlyphs(out);
    ok &= SaveLanguageLabels(out);
    return ok ? 0 : 1;
}
