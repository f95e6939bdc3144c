// The layout rules Qt's loader does not follow by itself: attribute (property) names match without regard
// to case, and integer attributes read "0x"-prefixed text as hexadecimal.
#pragma once

#include <QByteArray>

class QWidget;

namespace kb::ui {

// A second pass over the layout `ui` that `root` was just loaded from: each property of a named widget
// whose name matches one of the widget's properties only when case is ignored is set under its real
// name (the stray dynamic property Qt made is dropped), and an integer property given as text or as a
// number with a "0x" prefix gets its hexadecimal value. Everything else stays as Qt's loader set it.
void ApplyLooseProperties(QWidget* root, const QByteArray& ui);

}  // namespace kb::ui
