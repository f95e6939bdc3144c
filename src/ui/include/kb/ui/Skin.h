// Skins: named image strips of equal-width frames from "uires/skins.xml"; frame i is drawn with QPainter.
#pragma once

#include <QHash>
#include <QMargins>
#include <QPixmap>
#include <QString>
#include <memory>

class QPainter;
class QRect;

namespace kb::ui {

class Skin {
  public:
    Skin() = default;
    Skin(QPixmap strip, int frames, QMargins margins = {});

    bool IsNull() const { return strip_.isNull(); }
    int Frames() const { return frames_; }
    int LastFrame() const { return frames_ - 1; }
    QSize FrameSize() const;
    // The frame's part of the strip; indexes are clamped to the frames there are.
    QRect FrameRect(int frame) const;
    QPixmap FramePixmap(int frame) const;

    void Draw(QPainter& painter, const QRect& target, int frame) const;

  private:
    QPixmap strip_;
    int frames_ = 1;
    QMargins margins_;
};

// The package's skins. Loaded from "uires/skins.xml" on first use; tests add their own.
class SkinPool {
  public:
    static SkinPool& Shared();

    // Null when no skin has the name (or the name is empty).
    std::shared_ptr<const Skin> Find(const QString& name);
    void Add(const QString& name, Skin skin);
    void Clear();  // forget everything, including whether the package file was read

    // Reads a skins file; returns the number of skins added. Never fails on bad input.
    int LoadFile(const QString& path);

  private:
    void EnsureLoaded();
    QHash<QString, std::shared_ptr<const Skin>> skins_;
    bool loaded_ = false;
};

// An image attribute: the named skin's frame 0, or a file relative to the package folder. Null when
// neither exists.
QPixmap ResolveImage(const QString& name);

}  // namespace kb::ui
