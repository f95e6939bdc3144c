#include "kb/ui/Skin.h"

#include <QtWidgets/qdrawutil.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QXmlStreamReader>
#include <algorithm>

#include "kb/common/NumberText.h"
#include "kb/ui/Package.h"

namespace kb::ui {

namespace {
// Frame counts beyond this are a broken file, not an animation.
constexpr int kMaxFrames = 1024;

int ToInt(const QString& text) {
    return kb::StrToLong32(text.toStdU16String(), 0);
}

QMargins ParseMargins(const QString& text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4) {
        return {};
    }
    const int left = std::max(0, ToInt(parts[0]));
    const int top = std::max(0, ToInt(parts[1]));
    const int right = std::max(0, ToInt(parts[2]));
    const int bottom = std::max(0, ToInt(parts[3]));
    return {left, top, right, bottom};
}
}  // namespace

Skin::Skin(QPixmap strip, int frames, QMargins margins)
    : strip_(std::move(strip)), frames_(std::clamp(frames, 1, kMaxFrames)), margins_(margins) {
    if (!strip_.isNull()) {
        frames_ = std::min(frames_, std::max(1, strip_.width()));
    }
}

QSize Skin::FrameSize() const {
    if (strip_.isNull()) {
        return {0, 0};
    }
    return {strip_.width() / frames_, strip_.height()};
}

QRect Skin::FrameRect(int frame) const {
    const int index = std::clamp(frame, 0, frames_ - 1);
    const QSize size = FrameSize();
    return {index * size.width(), 0, size.width(), size.height()};
}

QPixmap Skin::FramePixmap(int frame) const {
    if (strip_.isNull()) {
        return {};
    }
    // A one-frame skin shares its image: the keyboard pictures are megabytes each.
    const QRect rect = FrameRect(frame);
    return rect == strip_.rect() ? strip_ : strip_.copy(rect);
}

void Skin::Draw(QPainter& painter, const QRect& target, int frame) const {
    if (strip_.isNull() || target.isEmpty()) {
        return;
    }
    const QRect source = FrameRect(frame);
    if (margins_.isNull()) {
        painter.drawPixmap(target, strip_, source);
    } else {
        qDrawBorderPixmap(&painter, target, margins_, strip_, source, margins_);
    }
}

SkinPool& SkinPool::Shared() {
    static SkinPool pool;
    return pool;
}

std::shared_ptr<const Skin> SkinPool::Find(const QString& name) {
    if (name.isEmpty()) {
        return nullptr;
    }
    EnsureLoaded();
    return skins_.value(name);
}

void SkinPool::Add(const QString& name, Skin skin) {
    skins_.insert(name, std::make_shared<const Skin>(std::move(skin)));
}

void SkinPool::Clear() {
    skins_.clear();
    loaded_ = false;
}

void SkinPool::EnsureLoaded() {
    if (!loaded_) {
        loaded_ = true;
        LoadFile(PackagePath(QStringLiteral("skins.xml")));
    }
}

int SkinPool::LoadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QDir base = QFileInfo(path).absoluteDir();
    QXmlStreamReader xml(&file);
    int added = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != u"skin") {
            continue;
        }
        const auto attributes = xml.attributes();
        const QString name = attributes.value(QLatin1String("name")).toString();
        const QString source = attributes.value(QLatin1String("src")).toString();
        if (name.isEmpty() || source.isEmpty()) {
            continue;
        }
        QPixmap strip(base.filePath(source));
        if (strip.isNull()) {
            continue;
        }
        const int frames = attributes.hasAttribute(QLatin1String("frames"))
                               ? ToInt(attributes.value(QLatin1String("frames")).toString())
                               : 1;
        Add(name, Skin(std::move(strip), frames,
                       ParseMargins(attributes.value(QLatin1String("margins")).toString())));
        ++added;
    }
    // Skins read before a syntax error stay; the rest of the file is lost.
    return added;
}

QPixmap ResolveImage(const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    if (auto skin = SkinPool::Shared().Find(name)) {
        return skin->FramePixmap(0);
    }
    return QPixmap(PackagePath(name));
}

}  // namespace kb::ui
