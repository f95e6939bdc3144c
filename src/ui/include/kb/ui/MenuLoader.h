// Menus of the package ("uires/menu/<name>.xml") built into QMenu; each item's command number is its
// action's data.
#pragma once

#include <QString>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace kb::ui {

enum class MenuKind { Classic = 0, Extended = 1, None = 2 };

// The kind of the named menu by its document element ("menu" classic, "menuRoot"/"menuItem" extended,
// anything else none); empty when the file does not load as XML.
std::optional<MenuKind> ReadMenuKind(const QString& name);

// Null when the file does not load or its kind is None.
std::unique_ptr<QMenu> LoadMenu(const QString& name, QWidget* parent = nullptr);
std::unique_ptr<QMenu> LoadMenuFile(const QString& path, QWidget* parent = nullptr);

// The command number of a menu action; 0 for actions without one.
int CommandOf(const QAction* action);

}  // namespace kb::ui
