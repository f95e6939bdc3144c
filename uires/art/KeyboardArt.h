// The keyboard picture of the UI package, drawn from the coordinate file.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <vector>

namespace kbart {

// One key of the coordinate file, as the picture draws it.
struct Key {
    QRectF rect;   // the clickable area
    QRectF upper;  // a further part of the same cap (the ISO Enter's wider top); empty for most keys
    QString legend;
    QString shift;  // the shifted symbol printed above the legend
};

// The three full-size pictures the widget layers: resting caps, hovered caps, caps with an assignment.
enum class CapState { Normal, Hover, Marked };

// False when the file cannot be read or holds no key with a rectangle.
bool ReadKeys(const QString& path, std::vector<Key>& keys);
QImage KeyboardImage(const std::vector<Key>& keys, CapState state);

}  // namespace kbart
