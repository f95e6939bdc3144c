// How long the window's UI thread is blocked while a lighting slider is dragged for a second: the main
// window over the virtual keyboard, a brightness slider moved by the user every 10 ms for 1 s, and a
// 1 ms heartbeat timer whose largest gap shows every stall (handlers, saves, reports, timers alike).
//
// Usage: app_stall PROGRAM_FOLDER   (a folder with config.xml and uires, as bench/app_startup.sh makes)
// Output: "stall_max_ms=... step_max_ms=... reports=... steps=..."
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "kb/app/MainDlg.h"
#include "kb/common/AppConfig.h"
#include "kb/device/VirtualKeyboard.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Package.h"
#include "kb/widgets/WidgetClasses.h"

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_stall PROGRAM_FOLDER\n");
        return 2;
    }
    qputenv("KBSTUDIO_VIRTUAL_KEYBOARD", "1");
    const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
    std::filesystem::current_path(folder);
    QApplication app(argc, argv);
    QFile style(QString::fromStdString((folder / "uires/style/style.qss").string()));
    if (style.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(style.readAll()));
    }
    kb::ui::SetProgramFolder(QString::fromStdString(folder.string()));
    kb::ui::SetPackageFolder(QString::fromStdString((folder / "uires").string()));
    kb::AppConfig::Instance().Load(folder / "config.xml");
    kb::MacroLibrary::Instance().Load(folder / "macro.xml");
    kb::KeyRecordTable::Instance().LoadRecords(folder / "record.bin");
    kb::SideLightConfig::Instance().Load(folder / "sidemodel.xml");
    kb::LedEffectConfig::Instance().Load(folder / "ledeffect.xml");
    // An effect of the speed-and-brightness page, so that its brightness slider is the one shown.
    (void)kb::LedEffectConfig::Instance().SetSel(4);  // a failed save changes nothing measured here

    kb::ui::LayoutLoader loader;
    kb::widgets::RegisterProgramWidgets(loader);
    kb::app::CMainDlg dialog;
    if (!dialog.Create(loader)) {
        return 1;
    }
    dialog.OnInit();
    if (dialog.IsDestroyed()) {
        std::fprintf(stderr, "app_stall: no keyboard\n");
        return 1;
    }
    dialog.Window()->show();
    auto* slider = kb::ui::FindByName<QSlider>(dialog.Window(), u"bar_const_brightness_1", u"sliderbar");
    if (slider == nullptr) {
        return 1;
    }

    QElapsedTimer clock;
    double stallMax = 0;
    double stepMax = 0;
    int steps = 0;
    qint64 lastBeat = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        stallMax = std::max(stallMax, static_cast<double>(now - lastBeat) / 1e6 - 1.0);
        lastBeat = now;
    });
    QTimer drag;
    drag.setTimerType(Qt::PreciseTimer);
    drag.setInterval(10);
    const std::size_t reportsBefore = kb::VirtualKeyboard::Instance().Reports().size();
    QObject::connect(&drag, &QTimer::timeout, [&] {
        if (steps == 100) {
            drag.stop();
            // Let the last paced report go out, then stop.
            QTimer::singleShot(300, &app, [&] { QCoreApplication::exit(0); });
            return;
        }
        QElapsedTimer step;
        step.start();
        // Back and forth across the range, as a hand drags.
        const int range = slider->maximum() - slider->minimum() + 1;
        const int phase = steps % (2 * range);
        slider->setSliderPosition(slider->minimum() + (phase < range ? phase : 2 * range - 1 - phase));
        stepMax = std::max(stepMax, static_cast<double>(step.nsecsElapsed()) / 1e6);
        ++steps;
    });
    // Start once the window is up and the start-up refresh has gone out.
    QTimer::singleShot(500, &app, [&] {
        clock.start();
        lastBeat = 0;
        heartbeat.start();
        drag.start();
    });
    QApplication::exec();
    const std::size_t reports = kb::VirtualKeyboard::Instance().Reports().size() - reportsBefore;
    std::printf("stall_max_ms=%.1f step_max_ms=%.1f reports=%zu steps=%d\n", stallMax, stepMax, reports,
                steps);
    return 0;
}
