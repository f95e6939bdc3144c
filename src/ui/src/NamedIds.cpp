#include "kb/ui/NamedIds.h"

#include <QObject>
#include <QVariant>
#include <array>

namespace kb::ui {
namespace {

constexpr std::array<NamedId, 70> kNamedIds{{
    {u"_name_start", 65535},
    {u"bar_const_brightness_0", 65544},
    {u"bar_const_brightness_1", 65548},
    {u"bar_const_brightness_2", 65549},
    {u"bar_const_brightness_3", 65551},
    {u"bar_general_speed_0", 65543},
    {u"bar_general_speed_1", 65547},
    {u"bar_general_speed_3", 65550},
    {u"bar_side_brightness", 65560},
    {u"btnCancel", 65563},
    {u"btnDelete", 65597},
    {u"btnMin", 65561},
    {u"btnOK", 65596},
    {u"btnRestore", 65562},
    {u"btnSwitch", 65601},
    {u"btn_close", 65539},
    {u"btn_min", 65538},
    {u"btn_more", 65537},
    {u"btn_restore_factory", 65555},
    {u"button1st", 65602},
    {u"button2nd", 65603},
    {u"button3rd", 65604},
    {u"cbx_color_effect", 65541},
    {u"cbx_in_lv", 65556},
    {u"cbx_side_color_effect", 65558},
    {u"chk_macro_fixed_delay", 65588},
    {u"chk_macro_no_delay", 65589},
    {u"chk_macro_realy_delay", 65587},
    {u"chk_macro_record", 65590},
    {u"chk_single_record", 65592},
    {u"cmb_function_keys", 65595},
    {u"cmb_media_keys", 65594},
    {u"col1", 65577},
    {u"col2", 65579},
    {u"col3", 65581},
    {u"col4", 65583},
    {u"edit_macro_delay_time", 65586},
    {u"edit_macro_repeat_times", 65585},
    {u"edit_single_key", 65593},
    {u"groupAdd", 65571},
    {u"groupDel", 65570},
    {u"groupExport", 65573},
    {u"groupImport", 65572},
    {u"group_name", 65575},
    {u"img_keyboard", 65540},
    {u"item_clear", 65569},
    {u"item_delete", 65568},
    {u"item_down", 65567},
    {u"item_up", 65566},
    {u"key_code", 65578},
    {u"key_delay", 65584},
    {u"key_info", 65576},
    {u"key_name", 65580},
    {u"key_state", 65582},
    {u"macro_group", 65574},
    {u"macro_play_mode", 65591},
    {u"msgicon", 65599},
    {u"msgtext", 65600},
    {u"msgtitle", 65598},
    {u"radio_direction_left_0", 65545},
    {u"radio_direction_right_0", 65546},
    {u"radio_loader_center_3", 65553},
    {u"radio_loader_left_3", 65552},
    {u"radio_loader_right_3", 65554},
    {u"tab_color_effect", 65542},
    {u"tab_macro_mode_selection", 65565},
    {u"text_recording_keys", 65564},
    {u"text_side_brightness", 65559},
    {u"title", 65536},
    {u"version", 65557},
}};

constexpr const char* kIdProperty = "id";

}  // namespace

std::span<const NamedId> NamedIds() {
    return kNamedIds;
}

std::optional<int> IdForName(QStringView name) {
    for (const NamedId& row : kNamedIds) {
        if (name == QStringView(row.name)) {
            return row.id;
        }
    }
    return std::nullopt;
}

int WidgetId(const QObject* widget) {
    if (widget == nullptr) {
        return 0;
    }
    bool ok = false;
    const int id = widget->property(kIdProperty).toInt(&ok);
    return ok ? id : 0;
}

void SetWidgetId(QObject* widget, int id) {
    if (widget != nullptr) {
        widget->setProperty(kIdProperty, id);
    }
}

}  // namespace kb::ui
