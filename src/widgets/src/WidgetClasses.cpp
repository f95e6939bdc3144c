#include "kb/widgets/WidgetClasses.h"

#include <array>

#include "kb/widgets/CoordButtonImage.h"
#include "kb/widgets/SAnimImg.h"
#include "kb/widgets/SCheckBoxEx.h"
#include "kb/widgets/SEditEx.h"
#include "kb/widgets/SRadioBoxEx.h"
#include "kb/widgets/SShellNotifyIcon.h"
#include "kb/widgets/STabCtrl2.h"
#include "kb/widgets/STabPage2.h"

namespace kb::widgets {
namespace {

template <class T>
kb::ui::WidgetClass Entry(const char* className) {
    return {QString::fromUtf16(T::kElementName), QString::fromLatin1(className),
            [](QWidget* parent) -> QWidget* { return new T(parent); }};
}

}  // namespace

std::span<const kb::ui::WidgetClass> ProgramWidgetClasses() {
    static const std::array<kb::ui::WidgetClass, 8> classes{
        Entry<SShellNotifyIcon>("SShellNotifyIcon"),
        Entry<CoordButtonImage>("CoordButtonImage"),
        Entry<STabPage2>("STabPage2"),
        Entry<STabCtrl2>("STabCtrl2"),
        Entry<SAnimImg>("SAnimImg"),
        Entry<SEditEx>("SEditEx"),
        Entry<SRadioBoxEx>("SRadioBoxEx"),
        Entry<SCheckBoxEx>("SCheckBoxEx"),
    };
    return classes;
}

void RegisterProgramWidgets(kb::ui::LayoutLoader& loader) {
    for (const kb::ui::WidgetClass& widgetClass : ProgramWidgetClasses()) {
        loader.RegisterClass(widgetClass);
    }
}

}  // namespace kb::widgets
