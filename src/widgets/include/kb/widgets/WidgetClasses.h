// The program's widget classes, registered with a layout loader in start-up order.
#pragma once

#include <span>

#include "kb/ui/LayoutLoader.h"

namespace kb::widgets {

// shellnotifyicon, cbimg, page2, tabctrl2, anmimg, editex, radioex, checkex.
std::span<const kb::ui::WidgetClass> ProgramWidgetClasses();
void RegisterProgramWidgets(kb::ui::LayoutLoader& loader);

}  // namespace kb::widgets
