// The keyboard picture: images drawn over the keys of a coordinate file, keys that report presses and
// releases to a listener, per-key hover and marked overlays, and the key's label or name as tooltip.
// Without a mouse it is one tab stop: the arrow keys move a visible focus from key to key by position,
// Enter or Space clicks the focused key.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string_view>
#include <vector>

struct KeyButton {
    int32_t code = -1;   // "id"
    int32_t value = -1;  // "va"
    QString name;
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom are outside
    uint32_t color = 0xFFFFFF;                         // 0xRRGGBB
    QString label;
    bool marked = false;
    bool hover = false;
    bool pressed = false;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class ICoordButtonClickListener {
  public:
    virtual ~ICoordButtonClickListener() = default;
    // released: 0 press, 1 release. keyFlags: the mouse message's key states (1 left, 2 right,
    // 4 shift, 8 control, 0x10 middle). Non-zero tells the picture to leave every mark as it is.
    virtual int OnCoordButtonClick(int32_t code, const QString& name, int released, uint32_t keyFlags, int x,
                                   int y) = 0;
};

// Reads a coordinate file's keys; no keys for a file that is missing or not a "positions" document.
std::vector<KeyButton> ParseCoordinates(std::string_view xml, uint32_t defaultColor = 0xFFFFFF);
std::vector<KeyButton> ReadCoordinateFile(const QString& path, uint32_t defaultColor = 0xFFFFFF);

class CoordButtonImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString bg READ bg WRITE setBg)
    Q_PROPERTY(QString chking READ chking WRITE setChking)
    Q_PROPERTY(QString chked READ chked WRITE setChked)
    Q_PROPERTY(QString crdxml READ crdxml WRITE setCrdxml)
    Q_PROPERTY(int type READ type WRITE setType)
  public:
    static constexpr const char16_t* kElementName = u"cbimg";
    static constexpr int32_t kAllKeys = 0x7FFFFFFF;

    explicit CoordButtonImage(QWidget* parent = nullptr);

    QString bg() const { return bgName_; }
    void setBg(const QString& name);
    QString chking() const { return hoverName_; }
    void setChking(const QString& name);
    QString chked() const { return markedName_; }
    void setChked(const QString& name);
    QString crdxml() const { return crdxml_; }
    // Loads the keys from the coordinate file: the program folder joined with the value.
    void setCrdxml(const QString& value);
    int type() const { return type_; }
    void setType(int selectionType) { type_ = selectionType; }

    void SetKeys(std::vector<KeyButton> keys);
    const std::vector<KeyButton>& Keys() const { return keys_; }

    void SetListener(ICoordButtonClickListener* listener) { listener_ = listener; }
    void SetMarked(int32_t code, bool marked);
    void ToggleMarked(int32_t code);
    void SetLabel(int32_t code, const QString& text);
    bool GetButton(int32_t code, KeyButton& out) const;

    // The key with the keyboard focus (an index into Keys()), -1 for none. Moving it tells the
    // accessibility tree, so a screen reader announces the key.
    int FocusedKey() const { return focused_; }
    void SetFocusedKey(int index);
    // A click on the key at `index` (press, then release at its centre), as a left click on it would be.
    void ClickKey(std::size_t index);

    // Mouse handling, in widget coordinates (the Qt events forward here).
    void MouseMovedTo(QPoint point);
    void MouseLeft();
    void LeftButtonDown(QPoint point, uint32_t keyFlags);
    void LeftButtonUp(QPoint point, uint32_t keyFlags);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    KeyButton* FirstAt(QPoint point);
    void PressKey(std::size_t index, QPoint point, uint32_t keyFlags);
    void ReleaseKey(std::size_t index, QPoint point, uint32_t keyFlags);
    // The nearest key from the focused one in the direction of an arrow key; -1 when there is none.
    int Neighbour(int key, int arrow) const;
    int FirstKeyInReadingOrder() const;
    template <class F>
    void ForCode(int32_t code, F&& change);

    QString bgName_, hoverName_, markedName_, crdxml_;
    QPixmap bgImage_, hoverImage_, markedImage_;
    int type_ = 0;
    uint32_t defaultColor_ = 0xFFFFFF;
    std::vector<KeyButton> keys_;
    ICoordButtonClickListener* listener_ = nullptr;
    int focused_ = -1;
};
