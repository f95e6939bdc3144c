// Finding widgets by name or ID together with a class test, silently null when missing or of another class.
#pragma once

#include <QObject>
#include <QStringView>

class QWidget;

namespace kb::ui {

// Whether the widget answers to the layout element name (its own class's name or one of its bases').
// Unknown element names answer false.
bool IsClass(const QObject* widget, QStringView elementName);

// The nearest descendant of `root` (or `root` itself) named `name`; null when there is none or when that
// widget does not answer to `elementName`.
QWidget* FindByName(QWidget* root, QStringView name, QStringView elementName = u"window");

// The same by ID (the "id" property); IDs 0 and below are never found.
QWidget* FindById(QWidget* root, int id, QStringView elementName = u"window");

// Typed forms: also null when the widget is not a T.
template <class T>
T* FindByName(QWidget* root, QStringView name, QStringView elementName) {
    return qobject_cast<T*>(FindByName(root, name, elementName));
}
template <class T>
T* FindById(QWidget* root, int id, QStringView elementName) {
    return qobject_cast<T*>(FindById(root, id, elementName));
}

}  // namespace kb::ui
