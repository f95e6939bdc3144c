// The named-ID table that layouts and code share: a widget's objectName gives its numeric ID.
#pragma once

#include <QStringView>
#include <optional>
#include <span>

class QObject;

namespace kb::ui {

struct NamedId {
    const char16_t* name;
    int id;
};

// The 70 rows, "_name_start" first, then the names in sorted order.
std::span<const NamedId> NamedIds();

// ID of the row whose name equals `name` exactly.
std::optional<int> IdForName(QStringView name);

// The ID a widget carries (its dynamic property "id"); 0 when it has none.
int WidgetId(const QObject* widget);
void SetWidgetId(QObject* widget, int id);

}  // namespace kb::ui
