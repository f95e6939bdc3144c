#include "kb/widgets/SEditEx.h"

#include <QKeyEvent>
#include <QMouseEvent>

SEditEx::SEditEx(QWidget* parent) : QLineEdit(parent) {}

bool SEditEx::event(QEvent* event) {
    // Left clicks neither place the caret nor select; they are seen here, before Qt drops mouse input
    // to a disabled widget, because a click re-enables an edit that was disabled on its own. Qt delivers
    // the second press of a double click as its own event type; it is a press all the same.
    const auto type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
        type == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (testAttribute(Qt::WA_ForceDisabled)) {
                setEnabled(true);
            }
            event->accept();
            return true;
        }
    }
    // Dragging with the left button held would select text in the base edit.
    if (type == QEvent::MouseMove && (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton)) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void SEditEx::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit keyEnter();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
