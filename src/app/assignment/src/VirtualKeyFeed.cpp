#include "kb/assignment/VirtualKeyFeed.h"

#include <QApplication>
#include <QKeyEvent>
#include <array>
#include <utility>

#include "kb/device/FilterWire.h"
#include "kb/device/VirtualFilter.h"

namespace kb::assignment {

namespace {

constexpr uint32_t kExt = 0x10000;

// Qt keys and the keys they come from; shifted characters name the key that types them.
constexpr std::array<std::pair<int, uint32_t>, 110> kKeys{{
    {Qt::Key_Escape, 0x01},
    {Qt::Key_1, 0x02},
    {Qt::Key_Exclam, 0x02},
    {Qt::Key_2, 0x03},
    {Qt::Key_At, 0x03},
    {Qt::Key_3, 0x04},
    {Qt::Key_NumberSign, 0x04},
    {Qt::Key_4, 0x05},
    {Qt::Key_Dollar, 0x05},
    {Qt::Key_5, 0x06},
    {Qt::Key_Percent, 0x06},
    {Qt::Key_6, 0x07},
    {Qt::Key_AsciiCircum, 0x07},
    {Qt::Key_7, 0x08},
    {Qt::Key_Ampersand, 0x08},
    {Qt::Key_8, 0x09},
    {Qt::Key_Asterisk, 0x09},
    {Qt::Key_9, 0x0A},
    {Qt::Key_ParenLeft, 0x0A},
    {Qt::Key_0, 0x0B},
    {Qt::Key_ParenRight, 0x0B},
    {Qt::Key_Minus, 0x0C},
    {Qt::Key_Underscore, 0x0C},
    {Qt::Key_Equal, 0x0D},
    {Qt::Key_Plus, 0x0D},
    {Qt::Key_Backspace, 0x0E},
    {Qt::Key_Tab, 0x0F},
    {Qt::Key_Backtab, 0x0F},
    {Qt::Key_Q, 0x10},
    {Qt::Key_W, 0x11},
    {Qt::Key_E, 0x12},
    {Qt::Key_R, 0x13},
    {Qt::Key_T, 0x14},
    {Qt::Key_Y, 0x15},
    {Qt::Key_U, 0x16},
    {Qt::Key_I, 0x17},
    {Qt::Key_O, 0x18},
    {Qt::Key_P, 0x19},
    {Qt::Key_BracketLeft, 0x1A},
    {Qt::Key_BraceLeft, 0x1A},
    {Qt::Key_BracketRight, 0x1B},
    {Qt::Key_BraceRight, 0x1B},
    {Qt::Key_Return, 0x1C},
    {Qt::Key_Control, 0x1D},
    {Qt::Key_A, 0x1E},
    {Qt::Key_S, 0x1F},
    {Qt::Key_D, 0x20},
    {Qt::Key_F, 0x21},
    {Qt::Key_G, 0x22},
    {Qt::Key_H, 0x23},
    {Qt::Key_J, 0x24},
    {Qt::Key_K, 0x25},
    {Qt::Key_L, 0x26},
    {Qt::Key_Semicolon, 0x27},
    {Qt::Key_Colon, 0x27},
    {Qt::Key_Apostrophe, 0x28},
    {Qt::Key_QuoteDbl, 0x28},
    {Qt::Key_QuoteLeft, 0x29},
    {Qt::Key_AsciiTilde, 0x29},
    {Qt::Key_Shift, 0x2A},
    {Qt::Key_Backslash, 0x2B},
    {Qt::Key_Bar, 0x2B},
    {Qt::Key_Z, 0x2C},
    {Qt::Key_X, 0x2D},
    {Qt::Key_C, 0x2E},
    {Qt::Key_V, 0x2F},
    {Qt::Key_B, 0x30},
    {Qt::Key_N, 0x31},
    {Qt::Key_M, 0x32},
    {Qt::Key_Comma, 0x33},
    {Qt::Key_Less, 0x33},
    {Qt::Key_Period, 0x34},
    {Qt::Key_Greater, 0x34},
    {Qt::Key_Slash, 0x35},
    {Qt::Key_Question, 0x35},
    {Qt::Key_Alt, 0x38},
    {Qt::Key_AltGr, 0x38 | kExt},
    {Qt::Key_Space, 0x39},
    {Qt::Key_CapsLock, 0x3A},
    {Qt::Key_F1, 0x3B},
    {Qt::Key_F2, 0x3C},
    {Qt::Key_F3, 0x3D},
    {Qt::Key_F4, 0x3E},
    {Qt::Key_F5, 0x3F},
    {Qt::Key_F6, 0x40},
    {Qt::Key_F7, 0x41},
    {Qt::Key_F8, 0x42},
    {Qt::Key_F9, 0x43},
    {Qt::Key_F10, 0x44},
    {Qt::Key_F11, 0x57},
    {Qt::Key_F12, 0x58},
    {Qt::Key_NumLock, 0x45 | kExt},
    {Qt::Key_ScrollLock, 0x46},
    {Qt::Key_Pause, 0x45},
    {Qt::Key_Print, 0x37 | kExt},
    {Qt::Key_Insert, 0x52 | kExt},
    {Qt::Key_Delete, 0x53 | kExt},
    {Qt::Key_Home, 0x47 | kExt},
    {Qt::Key_End, 0x4F | kExt},
    {Qt::Key_PageUp, 0x49 | kExt},
    {Qt::Key_PageDown, 0x51 | kExt},
    {Qt::Key_Up, 0x48 | kExt},
    {Qt::Key_Down, 0x50 | kExt},
    {Qt::Key_Left, 0x4B | kExt},
    {Qt::Key_Right, 0x4D | kExt},
    {Qt::Key_Meta, 0x5B | kExt},
    {Qt::Key_Super_L, 0x5B | kExt},
    {Qt::Key_Super_R, 0x5C | kExt},
    {Qt::Key_Menu, 0x5D | kExt},
    {Qt::Key_Enter, 0x1C | kExt},
}};

// The number block, when Qt marks the key as coming from it.
constexpr std::array<std::pair<int, uint32_t>, 16> kKeypad{{
    {Qt::Key_0, 0x52},
    {Qt::Key_1, 0x4F},
    {Qt::Key_2, 0x50},
    {Qt::Key_3, 0x51},
    {Qt::Key_4, 0x4B},
    {Qt::Key_5, 0x4C},
    {Qt::Key_6, 0x4D},
    {Qt::Key_7, 0x47},
    {Qt::Key_8, 0x48},
    {Qt::Key_9, 0x49},
    {Qt::Key_Period, 0x53},
    {Qt::Key_Comma, 0x53},
    {Qt::Key_Plus, 0x4E},
    {Qt::Key_Minus, 0x4A},
    {Qt::Key_Asterisk, 0x37},
    {Qt::Key_Slash, 0x35 | kExt},
}};

// X11 keysyms of the right-hand modifiers.
constexpr uint32_t kXkShiftR = 0xFFE2, kXkControlR = 0xFFE4, kXkAltR = 0xFFEA, kXkSuperR = 0xFFEC;
constexpr uint32_t kXkLevel3Shift = 0xFE03;

template <std::size_t N>
uint32_t Find(const std::array<std::pair<int, uint32_t>, N>& table, int key) {
    for (const auto& [qtKey, code] : table) {
        if (qtKey == key) {
            return code;
        }
    }
    return 0;
}

}  // namespace

uint32_t KeyCodeForQtKey(int key, Qt::KeyboardModifiers modifiers, uint32_t nativeVirtualKey) {
    switch (key) {
        case Qt::Key_Shift:
            return nativeVirtualKey == kXkShiftR ? (0x36 | kExt) : 0x2A;
        case Qt::Key_Control:
            return nativeVirtualKey == kXkControlR ? (0x1D | kExt) : 0x1D;
        case Qt::Key_Alt:
            return nativeVirtualKey == kXkAltR || nativeVirtualKey == kXkLevel3Shift ? (0x38 | kExt) : 0x38;
        case Qt::Key_Meta:
            return nativeVirtualKey == kXkSuperR ? (0x5C | kExt) : (0x5B | kExt);
        default:
            break;
    }
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const uint32_t code = Find(kKeypad, key)) {
            return code;
        }
        // Navigation keys of the number block (number lock off) come without the E0 prefix.
        const uint32_t code = Find(kKeys, key);
        return key == Qt::Key_Enter || key == Qt::Key_NumLock ? code : (code & ~kExt);
    }
    return Find(kKeys, key);
}

void VirtualKeyFeed::InstallIfEnabled() {
    static bool installed = false;
    if (installed || !kb::KbFiltrDevice::VirtualFilter::Enabled() || qApp == nullptr) {
        return;
    }
    installed = true;
    qApp->installEventFilter(new VirtualKeyFeed(qApp));
}

bool VirtualKeyFeed::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationStateChange &&
        static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive) {
        // The releases of keys held now go to another program's window: none stays held here.
        kb::KbFiltrDevice::VirtualFilter::Instance().ReleaseAll();
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return QObject::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const uint32_t code = KeyCodeForQtKey(key->key(), key->modifiers(), key->nativeVirtualKey());
    if (code == 0) {
        return false;
    }
    auto& filter = kb::KbFiltrDevice::VirtualFilter::Instance();
    if (!key->isAutoRepeat()) {
        if (event->type() == QEvent::KeyPress) {
            filter.PressKey(code);  // seen again as the event climbs to parents: held once all the same
        } else {
            filter.ReleaseKey(code);
        }
    }
    return filter.Mode() == kb::filterwire::kModeCapture;
}

}  // namespace kb::assignment
