#include "kb/widgets/CoordButtonImage.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <pugixml.hpp>

#include "CoordButtonAccessible.h"
#include "kb/common/AtomicFile.h"
#include "kb/common/NumberText.h"
#include "kb/ui/Package.h"
#include "kb/ui/Skin.h"

namespace {

// A coordinate file describes one keyboard; anything larger is not one.
constexpr std::size_t kMaxCoordinateFileBytes = 8 * 1024 * 1024;

std::string WithoutChars(std::string_view text, std::string_view drop) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (drop.find(c) == std::string_view::npos) {
            kept.push_back(c);
        }
    }
    return kept;
}

int32_t ClampedSum(int32_t a, int32_t b) {
    const int64_t sum = int64_t{a} + int64_t{b};
    return static_cast<int32_t>(
        std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

KeyButton ReadKey(const pugi::xml_node& node, uint32_t defaultColor) {
    KeyButton key;
    if (auto id = node.attribute("id")) {
        key.code = kb::StrToLong32(id.value(), 10);
    }
    if (auto va = node.attribute("va")) {
        key.value = kb::StrToLong32(va.value(), 10);
    }
    key.name = QString::fromUtf8(node.attribute("name").value());
    key.color = defaultColor;
    if (auto color = node.attribute("color")) {
        const std::string digits = WithoutChars(color.value(), " #");
        std::size_t consumed = 0;
        const uint32_t value = kb::StrToULong32(digits, 16, &consumed);
        if (consumed > 0) {
            key.color = value;
        }
    }
    if (auto rect = node.attribute("rect")) {
        // x, y, w, h; fields that are missing or no number count as 0.
        const std::string text = WithoutChars(rect.value(), " ");
        int32_t fields[4] = {0, 0, 0, 0};
        std::size_t start = 0;
        for (int i = 0; i < 4 && start <= text.size(); ++i) {
            const std::size_t comma = std::min(text.find(',', start), text.size());
            fields[i] = kb::ScanDecimalInt(std::string_view(text).substr(start, comma - start)).value_or(0);
            start = comma + 1;
        }
        key.left = fields[0];
        key.top = fields[1];
        key.right = ClampedSum(fields[0], fields[2]);
        key.bottom = ClampedSum(fields[1], fields[3]);
    }
    return key;
}

uint32_t KeyFlags(const QMouseEvent* event) {
    uint32_t flags = 0;
    const auto buttons = event->buttons();
    const auto modifiers = event->modifiers();
    if (buttons & Qt::LeftButton) {
        flags |= 0x1;
    }
    if (buttons & Qt::RightButton) {
        flags |= 0x2;
    }
    if (modifiers & Qt::ShiftModifier) {
        flags |= 0x4;
    }
    if (modifiers & Qt::ControlModifier) {
        flags |= 0x8;
    }
    if (buttons & Qt::MiddleButton) {
        flags |= 0x10;
    }
    return flags;
}

}  // namespace

std::vector<KeyButton> ParseCoordinates(std::string_view xml, uint32_t defaultColor) {
    std::vector<KeyButton> keys;
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size())) {
        return keys;
    }
    const pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "positions") {
        return keys;
    }
    for (const pugi::xml_node& node : root.children()) {
        if (node.type() == pugi::node_element) {
            keys.push_back(ReadKey(node, defaultColor));
        }
    }
    return keys;
}

std::vector<KeyButton> ReadCoordinateFile(const QString& path, uint32_t defaultColor) {
    // Reads what the file holds (QIODevice::read(max) would size its buffer to the maximum first).
    const kb::FileReadResult file =
        kb::ReadWholeFile(std::filesystem::path(path.toStdU16String()), kMaxCoordinateFileBytes);
    if (!file.ok) {
        return {};
    }
    return ParseCoordinates(file.bytes, defaultColor);
}

namespace {

bool HasArea(const KeyButton& key) {
    return key.right > key.left && key.bottom > key.top;
}

QRect KeyRect(const KeyButton& key) {
    return QRect(QPoint(key.left, key.top), QPoint(key.right - 1, key.bottom - 1));
}

// Centre in doubled coordinates, so that halves stay exact.
QPoint Centre2(const KeyButton& key) {
    return QPoint(key.left + key.right, key.top + key.bottom);
}

}  // namespace

CoordButtonImage::CoordButtonImage(QWidget* parent) : QWidget(parent) {
    InstallCoordButtonAccessibility();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CoordButtonImage::setBg(const QString& name) {
    bgName_ = name;
    bgImage_ = kb::ui::ResolveImage(name);
    update();
}

void CoordButtonImage::setChking(const QString& name) {
    hoverName_ = name;
    hoverImage_ = kb::ui::ResolveImage(name);
    update();
}

void CoordButtonImage::setChked(const QString& name) {
    markedName_ = name;
    markedImage_ = kb::ui::ResolveImage(name);
    update();
}

void CoordButtonImage::setCrdxml(const QString& value) {
    crdxml_ = value;
    if (value.isEmpty()) {
        SetKeys({});
        return;
    }
    // Relative to the program folder; a leading slash or backslash does not make it absolute.
    QString relative = value;
    relative.replace(u'\\', u'/');
    const QString separator = relative.startsWith(u'/') ? QString() : QStringLiteral("/");
    SetKeys(ReadCoordinateFile(kb::ui::ProgramFolder() + separator + relative, defaultColor_));
}

void CoordButtonImage::SetKeys(std::vector<KeyButton> keys) {
    keys_ = std::move(keys);
    focused_ = -1;
    setToolTip(QString());
    update();
}

void CoordButtonImage::SetFocusedKey(int index) {
    if (index < -1 || index >= static_cast<int>(keys_.size())) {
        return;
    }
    focused_ = index;
    update();
    if (index >= 0 && hasFocus() && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(index);
        QAccessible::updateAccessibility(&event);
    }
}

int CoordButtonImage::Neighbour(int key, int arrow) const {
    const QPoint from = Centre2(keys_[static_cast<std::size_t>(key)]);
    const KeyButton& current = keys_[static_cast<std::size_t>(key)];
    int best = -1;
    int64_t bestCost = 0;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const KeyButton& other = keys_[i];
        if (static_cast<int>(i) == key || !HasArea(other)) {
            continue;
        }
        const QPoint to = Centre2(other);
        int64_t along = 0;    // distance in the arrow's direction
        int64_t across = 0;   // distance across it
        bool inLine = false;  // the other key shares the current key's row (or column)
        switch (arrow) {
            case Qt::Key_Right:
                along = to.x() - from.x();
                across = std::abs(to.y() - from.y());
                inLine = other.top < current.bottom && other.bottom > current.top;
                break;
            case Qt::Key_Left:
                along = from.x() - to.x();
                across = std::abs(to.y() - from.y());
                inLine = other.top < current.bottom && other.bottom > current.top;
                break;
            case Qt::Key_Down:
                along = to.y() - from.y();
                across = std::abs(to.x() - from.x());
                inLine = 2 * other.left <= from.x() && from.x() < 2 * other.right;
                break;
            case Qt::Key_Up:
                along = from.y() - to.y();
                across = std::abs(to.x() - from.x());
                inLine = 2 * other.left <= from.x() && from.x() < 2 * other.right;
                break;
            default:
                return -1;
        }
        const bool sideways = arrow == Qt::Key_Left || arrow == Qt::Key_Right;
        if (along <= 0 || (sideways && !inLine)) {
            continue;  // left and right stay in the row; at its end the focus stays
        }
        // A key in line comes first: the nearest row (or key in the row), then the nearest centre.
        // Up and down may leave the line when nothing lies straight above or below.
        const int64_t cost = inLine ? along * 65536 + across : (int64_t{1} << 40) + along + 3 * across;
        if (best < 0 || cost < bestCost) {
            best = static_cast<int>(i);
            bestCost = cost;
        }
    }
    return best;
}

void CoordButtonImage::ClickKey(std::size_t index) {
    if (index >= keys_.size() || !isEnabled()) {
        return;
    }
    const QPoint centre = KeyRect(keys_[index]).center();
    QPointer<CoordButtonImage> self = this;
    PressKey(index, centre, 0x1);
    // The listener may have run a dialog in which the picture went away or got other keys.
    if (self != nullptr && index < keys_.size()) {
        ReleaseKey(index, centre, 0);
    }
}

template <class F>
void CoordButtonImage::ForCode(int32_t code, F&& change) {
    for (KeyButton& key : keys_) {
        if (code == kAllKeys) {
            change(key);
        } else if (key.code == code) {
            change(key);
            break;
        }
    }
    update();
}

void CoordButtonImage::SetMarked(int32_t code, bool marked) {
    ForCode(code, [marked](KeyButton& key) { key.marked = marked; });
}

void CoordButtonImage::ToggleMarked(int32_t code) {
    ForCode(code, [](KeyButton& key) { key.marked = !key.marked; });
}

void CoordButtonImage::SetLabel(int32_t code, const QString& text) {
    ForCode(code, [&text](KeyButton& key) { key.label = text; });
}

bool CoordButtonImage::GetButton(int32_t code, KeyButton& out) const {
    const auto it =
        std::find_if(keys_.begin(), keys_.end(), [code](const KeyButton& k) { return k.code == code; });
    if (it == keys_.end()) {
        return false;
    }
    out = *it;
    return true;
}

KeyButton* CoordButtonImage::FirstAt(QPoint point) {
    for (KeyButton& key : keys_) {
        if (key.Contains(point.x(), point.y())) {
            return &key;
        }
    }
    return nullptr;
}

void CoordButtonImage::MouseMovedTo(QPoint point) {
    QString tip;
    for (KeyButton& key : keys_) {
        key.hover = key.Contains(point.x(), point.y());
        if (key.hover) {
            tip = key.label.isEmpty() ? key.name : key.label;
        }
    }
    setToolTip(tip);
    update();
}

void CoordButtonImage::MouseLeft() {
    for (KeyButton& key : keys_) {
        key.hover = false;
    }
    setToolTip(QString());
    update();
}

void CoordButtonImage::LeftButtonDown(QPoint point, uint32_t keyFlags) {
    if (const KeyButton* target = FirstAt(point)) {
        PressKey(static_cast<std::size_t>(target - keys_.data()), point, keyFlags);
    }
}

void CoordButtonImage::LeftButtonUp(QPoint point, uint32_t keyFlags) {
    if (const KeyButton* target = FirstAt(point)) {
        ReleaseKey(static_cast<std::size_t>(target - keys_.data()), point, keyFlags);
    }
}

void CoordButtonImage::PressKey(std::size_t index, QPoint point, uint32_t keyFlags) {
    const int32_t code = keys_[index].code;
    const QString name = keys_[index].name;
    const int result = listener_ != nullptr
                           ? listener_->OnCoordButtonClick(code, name, 0, keyFlags, point.x(), point.y())
                           : 0;
    // The listener may have run a dialog that changed the keys; find the target again by its place.
    if (index >= keys_.size()) {
        return;
    }
    KeyButton& key = keys_[index];
    if (result == 0) {
        if (type_ == 1) {
            for (KeyButton& other : keys_) {
                other.marked = false;
            }
            key.marked = !key.marked;
        } else if (type_ == 2) {
            key.marked = !key.marked;
        }
    }
    key.pressed = true;
    update();
}

void CoordButtonImage::ReleaseKey(std::size_t index, QPoint point, uint32_t keyFlags) {
    KeyButton& target = keys_[index];
    const bool wasPressed = target.pressed;
    const int32_t code = target.code;
    const QString name = target.name;
    target.pressed = false;
    if (wasPressed && listener_ != nullptr) {
        listener_->OnCoordButtonClick(code, name, 1, keyFlags, point.x(), point.y());
    }
    update();
}

void CoordButtonImage::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    for (const KeyButton& key : keys_) {
        const QRect r(QPoint(key.left, key.top), QPoint(key.right - 1, key.bottom - 1));
        if (key.right > key.left && key.bottom > key.top) {
            painter.fillRect(r, QColor::fromRgb(key.color | 0xFF000000u));
        }
    }
    if (!bgImage_.isNull()) {
        painter.drawPixmap(rect(), bgImage_);
    }
    auto overlay = [&](const QPixmap& image, bool KeyButton::*flag) {
        if (image.isNull()) {
            return;
        }
        for (const KeyButton& key : keys_) {
            if (key.*flag && key.right > key.left && key.bottom > key.top) {
                const QRect r(QPoint(key.left, key.top), QPoint(key.right - 1, key.bottom - 1));
                painter.drawPixmap(r, image, r);
            }
        }
    };
    overlay(hoverImage_, &KeyButton::hover);
    overlay(markedImage_, &KeyButton::marked);
    if (hasFocus() && focused_ >= 0 && focused_ < static_cast<int>(keys_.size())) {
        // A double ring, light inside dark, reads on light and dark keys alike.
        const QRect r = KeyRect(keys_[static_cast<std::size_t>(focused_)]);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.drawRect(r.adjusted(1, 1, -1, -1));
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(r.adjusted(3, 3, -3, -3));
    }
}

void CoordButtonImage::mouseMoveEvent(QMouseEvent* event) {
    MouseMovedTo(event->position().toPoint());
}

void CoordButtonImage::leaveEvent(QEvent* /*event*/) {
    MouseLeft();
}

void CoordButtonImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        LeftButtonDown(event->position().toPoint(), KeyFlags(event));
    } else {
        QWidget::mousePressEvent(event);
    }
}

void CoordButtonImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        LeftButtonUp(event->position().toPoint(), KeyFlags(event));
    } else {
        QWidget::mouseReleaseEvent(event);
    }
}

void CoordButtonImage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
                break;
            }
            if (focused_ < 0) {
                SetFocusedKey(FirstKeyInReadingOrder());
            } else if (const int next = Neighbour(focused_, event->key()); next >= 0) {
                SetFocusedKey(next);
            }
            return;  // an arrow at the edge stays here rather than leaving the picture
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (!event->isAutoRepeat() && focused_ >= 0) {
                ClickKey(static_cast<std::size_t>(focused_));
            }
            return;
        default:
            break;
    }
    QWidget::keyPressEvent(event);
}

int CoordButtonImage::FirstKeyInReadingOrder() const {
    int first = -1;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const KeyButton& key = keys_[i];
        if (!HasArea(key)) {
            continue;
        }
        const KeyButton* best = first >= 0 ? &keys_[static_cast<std::size_t>(first)] : nullptr;
        if (best == nullptr || key.top < best->top || (key.top == best->top && key.left < best->left)) {
            first = static_cast<int>(i);
        }
    }
    return first;
}

void CoordButtonImage::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    // Coming back, the focus is where it was left; the first time on the top left key.
    SetFocusedKey(focused_ >= 0 ? focused_ : FirstKeyInReadingOrder());
}

void CoordButtonImage::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
