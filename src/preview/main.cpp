// kbpreview: loads a layout of the UI package offscreen, in a chosen language, and writes it as a PNG.
//
//   kbpreview --layout XML_MAINWND --lang cn --out main_cn.png [--uires DIR] [--tab NAME=INDEX]...
//             [--size WxH]

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QTextStream>
#include <cstdio>

#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Package.h"
#include "kb/ui/Timeline.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/WidgetClasses.h"

namespace {

int Fail(const QString& message) {
    QTextStream(stderr) << "kbpreview: " << message << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders a layout of the UI package to a PNG file."));
    parser.addHelpOption();
    const QCommandLineOption layoutOption(QStringLiteral("layout"),
                                          QStringLiteral("Layout name (uires/layout/NAME.ui)."),
                                          QStringLiteral("name"));
    const QCommandLineOption langOption(QStringLiteral("lang"),
                                        QStringLiteral("Language: cn or en (default en)."),
                                        QStringLiteral("lang"), QStringLiteral("en"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                                       QStringLiteral("file"));
    const QCommandLineOption uiresOption(
        QStringLiteral("uires"), QStringLiteral("UI package folder (default: uires beside the program)."),
        QStringLiteral("dir"));
    const QCommandLineOption tabOption(QStringLiteral("tab"),
                                       QStringLiteral("Select page INDEX of the tab widget NAME."),
                                       QStringLiteral("name=index"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Window size WxH (default: the layout's)."),
                                        QStringLiteral("WxH"));
    parser.addOptions({layoutOption, langOption, outOption, uiresOption, tabOption, sizeOption});
    parser.process(app);

    if (!parser.isSet(layoutOption) || !parser.isSet(outOption)) {
        return Fail(QStringLiteral("--layout and --out are required (see --help)"));
    }
    if (parser.isSet(uiresOption)) {
        const QDir package(parser.value(uiresOption));
        if (!package.exists()) {
            return Fail(QStringLiteral("no such folder: %1").arg(parser.value(uiresOption)));
        }
        kb::ui::SetPackageFolder(package.absolutePath());
        // Coordinate files are named relative to the folder that holds the package.
        kb::ui::SetProgramFolder(QFileInfo(package.absolutePath()).absolutePath());
    }
    const QString lang = parser.value(langOption);
    if (lang != u"cn" && lang != u"en") {
        return Fail(QStringLiteral("--lang must be cn or en"));
    }
    if (!kb::ui::SwitchLanguage(lang == u"cn")) {
        QTextStream(stderr) << "kbpreview: no translation lang_" << lang
                            << ".qm; showing the layout's own texts\n";
    }
    QFile styleSheet(kb::ui::PackagePath(QStringLiteral("style/style.qss")));
    if (styleSheet.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
    }

    kb::ui::LayoutLoader loader;
    kb::widgets::RegisterProgramWidgets(loader);
    QWidget* window = loader.LoadLayout(parser.value(layoutOption));
    if (window == nullptr) {
        return Fail(QStringLiteral("cannot load layout %1: %2")
                        .arg(parser.value(layoutOption), loader.errorString()));
    }
    for (const QString& tab : parser.values(tabOption)) {
        const QString name = tab.section(u'=', 0, 0);
        bool ok = false;
        const int index = tab.section(u'=', 1).toInt(&ok);
        auto* tabs = kb::ui::FindByName<QTabWidget>(window, name, u"tabctrl");
        if (tabs == nullptr || !ok || index < 0 || index >= tabs->count()) {
            return Fail(QStringLiteral("no tab page %1").arg(tab));
        }
        tabs->setCurrentIndex(index);
    }
    if (parser.isSet(sizeOption)) {
        const QStringList parts = parser.value(sizeOption).split(u'x');
        if (parts.size() == 2 && parts[0].toInt() > 0 && parts[1].toInt() > 0) {
            window->resize(parts[0].toInt(), parts[1].toInt());
        }
    }
    // Animations stay on their first frames: the picture shows the resting look.
    kb::ui::Timeline::Shared().SetTimerEnabled(false);
    window->show();
    QApplication::processEvents();
    const QImage image = window->grab().toImage();
    if (!image.save(parser.value(outOption), "PNG")) {
        return Fail(QStringLiteral("cannot write %1").arg(parser.value(outOption)));
    }
    std::printf("%dx%d\n", image.width(), image.height());
    delete window;
    return 0;
}
