#include "kb/ui/Lookup.h"

#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>
#include <array>
#include <deque>

#include "kb/ui/NamedIds.h"

namespace kb::ui {
namespace {

struct ElementClass {
    const char16_t* element;
    const char* qtClass;
};

// Element names of the layouts and the Qt classes (or program classes) that answer to them. Bases answer
// through inherits(), so a program class answers its own name and its base's names.
constexpr std::array<ElementClass, 25> kElementClasses{{
    {u"window", "QWidget"},         {u"text", "QLabel"},          {u"edit", "QLineEdit"},
    {u"richedit", "QLineEdit"},     {u"button", "QPushButton"},   {u"button", "QToolButton"},
    {u"imgbtn", "QPushButton"},     {u"imgbtn", "QToolButton"},   {u"check", "QCheckBox"},
    {u"radio", "QRadioButton"},     {u"combobox", "QComboBox"},   {u"sliderbar", "QSlider"},
    {u"tabctrl", "QTabWidget"},     {u"page", "STabPage2"},       {u"listview", "QListView"},
    {u"mclistview", "QTableView"},  {u"mclistview", "QTreeView"}, {u"shellnotifyicon", "SShellNotifyIcon"},
    {u"cbimg", "CoordButtonImage"}, {u"page2", "STabPage2"},      {u"tabctrl2", "STabCtrl2"},
    {u"anmimg", "SAnimImg"},        {u"editex", "SEditEx"},       {u"radioex", "SRadioBoxEx"},
    {u"checkex", "SCheckBoxEx"},
}};

// A plain page of a tab widget sits in the tab widget's internal stack.
bool IsTabPage(const QObject* widget) {
    const QObject* stack = widget->parent();
    return qobject_cast<const QStackedWidget*>(stack) != nullptr && stack->parent() != nullptr &&
           qobject_cast<const QTabWidget*>(stack->parent()) != nullptr;
}

template <class Match>
QWidget* FindNearest(QWidget* root, Match&& match) {
    if (root == nullptr) {
        return nullptr;
    }
    std::deque<QWidget*> queue{root};
    while (!queue.empty()) {
        QWidget* widget = queue.front();
        queue.pop_front();
        if (match(widget)) {
            return widget;
        }
        for (QObject* child : widget->children()) {
            if (child->isWidgetType()) {
                queue.push_back(static_cast<QWidget*>(child));
            }
        }
    }
    return nullptr;
}

}  // namespace

bool IsClass(const QObject* widget, QStringView elementName) {
    if (widget == nullptr || !widget->isWidgetType()) {
        return false;
    }
    bool known = false;
    for (const ElementClass& row : kElementClasses) {
        if (elementName == QStringView(row.element)) {
            known = true;
            if (widget->inherits(row.qtClass)) {
                return true;
            }
        }
    }
    return known && elementName == u"page" && IsTabPage(widget);
}

QWidget* FindByName(QWidget* root, QStringView name, QStringView elementName) {
    QWidget* found = FindNearest(root, [name](const QWidget* w) { return w->objectName() == name; });
    return IsClass(found, elementName) ? found : nullptr;
}

QWidget* FindById(QWidget* root, int id, QStringView elementName) {
    if (id <= 0) {
        return nullptr;
    }
    QWidget* found = FindNearest(root, [id](const QWidget* w) { return WidgetId(w) == id; });
    return IsClass(found, elementName) ? found : nullptr;
}

}  // namespace kb::ui
