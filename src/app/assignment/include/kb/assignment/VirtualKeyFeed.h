// With the virtual filter (KBSTUDIO_VIRTUAL_FILTER=1), key presses in the program's own windows become the
// virtual filter's held keys, so a macro can be recorded and a key captured without kbfilterd. While the
// filter captures (mode 0xFFFFFFFF) the keys are only reported, as the real filter does: they do not
// reach the focused field.
#pragma once

#include <QObject>
#include <cstdint>

class QKeyEvent;

namespace kb::assignment {

// The keyboard's key code (set-1 scan code, bit 16 for E0 keys) of a Qt key event's key; 0 when the key
// has none. `nativeVirtualKey` tells left from right modifiers where the platform reports it (X11 keysyms).
uint32_t KeyCodeForQtKey(int key, Qt::KeyboardModifiers modifiers, uint32_t nativeVirtualKey);

class VirtualKeyFeed : public QObject {
    Q_OBJECT
  public:
    // Installs one feed on the application when the virtual filter is enabled; later calls do nothing.
    static void InstallIfEnabled();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    using QObject::QObject;
};

}  // namespace kb::assignment
