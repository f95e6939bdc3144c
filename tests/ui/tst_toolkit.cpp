// The toolkit layer: named IDs, the loader, lookups with class tests, the event table and bridge, skins,
// the timeline, menus, prompts and the language switch.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <set>

#include "ScriptedPrompt.h"
#include "kb/ui/Events.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/MenuLoader.h"
#include "kb/ui/NamedIds.h"
#include "kb/ui/Package.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Skin.h"
#include "kb/ui/Timeline.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/SCheckBoxEx.h"
#include "kb/widgets/SEditEx.h"
#include "kb/widgets/WidgetClasses.h"

using namespace kb::ui;

namespace {

QString DataPath(const char* name) {
    return QStringLiteral(KB_UI_TEST_DATA "/") + QLatin1String(name);
}

std::unique_ptr<QWidget> LoadForm(const char* name) {
    LayoutLoader loader;
    kb::widgets::RegisterProgramWidgets(loader);
    return std::unique_ptr<QWidget>(loader.LoadFile(DataPath(name)));
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A strip of `frames` frames of 4x2 pixels, frame i filled with colours[i].
QPixmap Strip(const std::vector<QColor>& colours) {
    QImage image(4 * static_cast<int>(colours.size()), 2, QImage::Format_ARGB32);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (int x = 0; x < 4; ++x) {
            for (int y = 0; y < 2; ++y) {
                image.setPixelColor(static_cast<int>(i) * 4 + x, y, colours[i]);
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

class ToolkitTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        Timeline::Shared().SetTimerEnabled(false);
        SkinPool::Shared().Clear();
        SkinPool::Shared().Add(QStringLiteral("box3"), Skin(Strip({Qt::red, Qt::green, Qt::blue}), 3));
    }

    void namedIdTable() {
        const auto rows = NamedIds();
        QCOMPARE(rows.size(), std::size_t{70});
        QCOMPARE(QStringView(rows[0].name), u"_name_start");
        QCOMPARE(rows[0].id, 65535);
        std::set<QString> names;
        std::set<int> ids;
        for (const NamedId& row : rows) {
            QVERIFY(QStringView(row.name).size() <= 51);
            names.insert(QString::fromUtf16(row.name));
            ids.insert(row.id);
        }
        QCOMPARE(names.size(), rows.size());
        QCOMPARE(ids.size(), rows.size());
        QVERIFY(std::is_sorted(rows.begin() + 1, rows.end(), [](const NamedId& a, const NamedId& b) {
            return QStringView(a.name) < QStringView(b.name);
        }));
        QCOMPARE(IdForName(u"btn_more"), std::optional<int>(65537));
        QCOMPARE(IdForName(u"button3rd"), std::optional<int>(65604));
        QCOMPARE(IdForName(u"tab_macro_mode_selection"), std::optional<int>(65565));
        QCOMPARE(IdForName(u"BTN_MORE"), std::nullopt);
        QCOMPARE(IdForName(u"btn_more "), std::nullopt);
    }

    // Qt Designer's plugins are never loaded (QQuickWidget's would pull Qt Quick into the program), and
    // the program's own plugin paths are left as they were.
    void loaderLoadsNoDesignerPlugins() {
        const QStringList paths = QCoreApplication::libraryPaths();
        LayoutLoader loader;
        QVERIFY(loader.pluginPaths().isEmpty());
        QCOMPARE(QCoreApplication::libraryPaths(), paths);
    }

    void loaderCreatesClassesAndIds() {
        auto form = LoadForm("form.ui");
        QVERIFY(form);
        QCOMPARE(WidgetId(form.get()), 65536);  // the root is named "title"
        auto* check = form->findChild<SCheckBoxEx*>(QStringLiteral("chk_macro_record"));
        QVERIFY(check);
        QCOMPARE(WidgetId(check), 65590);
        QCOMPARE(check->skin(), QStringLiteral("box3"));
        QCOMPARE(check->textX(), 5);
        QCOMPARE(check->iconPos(), QStringLiteral("4,6"));
        // Not in the table: the layout's own id stays; in the table: the table wins over the layout.
        QCOMPARE(WidgetId(form->findChild<QWidget*>(QStringLiteral("extra"))), 4242);
        QCOMPARE(WidgetId(form->findChild<QWidget*>(QStringLiteral("btn_more"))), 65537);
        QCOMPARE(WidgetId(form->findChild<QWidget*>(QStringLiteral("page_plain"))), 0);
        auto* tabs = form->findChild<QTabWidget*>(QStringLiteral("tab_macro_mode_selection"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Macro"));
    }

    void registrationOrder() {
        const QStringList expected{QStringLiteral("shellnotifyicon"), QStringLiteral("cbimg"),
                                   QStringLiteral("page2"),           QStringLiteral("tabctrl2"),
                                   QStringLiteral("anmimg"),          QStringLiteral("editex"),
                                   QStringLiteral("radioex"),         QStringLiteral("checkex")};
        const QStringList bases{QStringLiteral("window"),  QStringLiteral("window"), QStringLiteral("page"),
                                QStringLiteral("tabctrl"), QStringLiteral("window"), QStringLiteral("edit"),
                                QStringLiteral("radio"),   QStringLiteral("check")};
        QStringList got;
        int i = 0;
        for (const WidgetClass& c : kb::widgets::ProgramWidgetClasses()) {
            got << c.elementName;
            std::unique_ptr<QWidget> widget(c.create(nullptr));
            QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), c.className);
            QVERIFY2(IsClass(widget.get(), c.elementName), qPrintable(c.elementName));
            QVERIFY2(IsClass(widget.get(), bases[i]), qPrintable(bases[i]));
            QVERIFY(IsClass(widget.get(), u"window"));
            QVERIFY(!IsClass(widget.get(), u"sliderbar"));
            ++i;
        }
        QCOMPARE(got, expected);
    }

    void lookups_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");  // 0: find by name
        QTest::addColumn<QString>("element");
        QTest::addColumn<bool>("found");
        QTest::newRow("button as imgbtn") << "btn_close" << 0 << "imgbtn" << true;
        QTest::newRow("button as check") << "btn_close" << 0 << "check" << false;
        QTest::newRow("missing name") << "btn_missing" << 0 << "window" << false;
        QTest::newRow("name letter case") << "BTN_CLOSE" << 0 << "window" << false;
        QTest::newRow("checkex as checkex") << "chk_macro_record" << 0 << "checkex" << true;
        QTest::newRow("checkex as check") << "chk_macro_record" << 0 << "check" << true;
        QTest::newRow("checkex as radio") << "chk_macro_record" << 0 << "radio" << false;
        QTest::newRow("plain radio as radioex") << "radio_direction_left_0" << 0 << "radioex" << false;
        QTest::newRow("tabctrl2 as tabctrl") << "tab_macro_mode_selection" << 0 << "tabctrl" << true;
        QTest::newRow("page2 as page") << "page_macro" << 0 << "page" << true;
        QTest::newRow("plain page as page") << "page_plain" << 0 << "page" << true;
        QTest::newRow("plain page as page2") << "page_plain" << 0 << "page2" << false;
        QTest::newRow("label as page") << "extra" << 0 << "page" << false;
        QTest::newRow("unknown element") << "btn_close" << 0 << "imgbutton" << false;
        QTest::newRow("slider") << "bar_side_brightness" << 0 << "sliderbar" << true;
        QTest::newRow("by id") << "" << 65590 << "checkex" << true;
        QTest::newRow("by id wrong class") << "" << 65590 << "edit" << false;
        QTest::newRow("by id from layout") << "" << 4242 << "text" << true;
        QTest::newRow("missing id") << "" << 65601 << "window" << false;
    }

    void lookups() {
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(QString, element);
        QFETCH(bool, found);
        auto form = LoadForm("form.ui");
        QWidget* widget = id == 0 ? FindByName(form.get(), name, element) : FindById(form.get(), id, element);
        QCOMPARE(widget != nullptr, found);
        if (found) {
            QVERIFY(IsClass(widget, element));
        }
    }

    void lookupsOnNothing() {
        QVERIFY(!FindByName(nullptr, u"btn_close", u"window"));
        auto form = LoadForm("form.ui");
        QVERIFY(!FindById(form.get(), 0, u"window"));  // widgets without an ID are never found by 0
        QVERIFY(FindByName<QPushButton>(form.get(), u"btn_close", u"imgbtn"));
        QVERIFY(!FindByName<QSlider>(form.get(), u"btn_close", u"imgbtn"));
    }

    void eventTable_data() {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("handler");  // "" when no row matches
        QTest::newRow("name") << "on_command"
                              << "btn_close" << 65539 << "close";
        QTest::newRow("name before range") << "on_command"
                                           << "btn_close" << 65545 << "close";
        QTest::newRow("first of two rows") << "on_command"
                                           << "btn_min" << 0 << "min";
        QTest::newRow("event name case") << "On_command"
                                         << "btn_close" << 65539 << "";
        QTest::newRow("widget name case") << "on_command"
                                          << "Btn_close" << 65539 << "";
        QTest::newRow("name prefix only") << "on_command"
                                          << "btn_closeX" << 0 << "";
        QTest::newRow("prefix routed by id") << "on_command"
                                             << "btn_closeX" << 65546 << "direction";
        QTest::newRow("range low edge") << "on_command"
                                        << "radio_direction_left_0" << 65545 << "direction";
        QTest::newRow("below range") << "on_command"
                                     << "x" << 65544 << "";
        QTest::newRow("between ranges") << "on_command"
                                        << "x" << 65547 << "";
        QTest::newRow("second range") << "on_command"
                                      << "x" << 65554 << "loader";
        QTest::newRow("above range") << "on_command"
                                     << "x" << 65555 << "";
        QTest::newRow("unnamed in range") << "on_command"
                                          << "" << 65553 << "loader";
        QTest::newRow("slider") << "on_slider_pos"
                                << "bar_side_brightness" << 65560 << "slider";
        QTest::newRow("slider event, button") << "on_slider_pos"
                                              << "btn_close" << 65539 << "";
        QTest::newRow("range is per event") << "on_slider_pos"
                                            << "x" << 65546 << "";
        QTest::newRow("empty name matches no named row") << "on_command"
                                                         << "" << 0 << "";
    }

    void eventTable() {
        QFETCH(QString, event);
        QFETCH(QString, sender);
        QFETCH(int, id);
        QFETCH(QString, handler);
        QString ran;
        auto tag = [&ran](const char* name) {
            return [&ran, name](const WidgetEvent&) { ran = QLatin1String(name); };
        };
        EventTable table;
        table.OnName(QStringLiteral("on_command"), QStringLiteral("btn_close"), tag("close"))
            .OnName(QStringLiteral("on_command"), QStringLiteral("btn_min"), tag("min"))
            .OnName(QStringLiteral("on_command"), QStringLiteral("btn_min"), tag("min again"))
            .OnIdRange(QStringLiteral("on_command"), 65545, 65546, tag("direction"))
            .OnIdRange(QStringLiteral("on_command"), 65552, 65554, tag("loader"))
            .OnNames(QStringLiteral("on_slider_pos"),
                     {QStringLiteral("bar_general_speed_0"), QStringLiteral("bar_side_brightness")},
                     tag("slider"));
        WidgetEvent e;
        e.name = event;
        e.senderName = sender;
        e.senderId = id;
        QCOMPARE(table.Dispatch(e), !handler.isEmpty());
        QCOMPARE(ran, handler);
    }

    void bridgeDeliversEvents() {
        auto form = LoadForm("form.ui");
        EventBridge bridge(form.get());
        std::vector<WidgetEvent> seen;
        bridge.SetHandler([&seen](const WidgetEvent& e) {
            seen.push_back(e);
            return true;
        });

        FindByName<QPushButton>(form.get(), u"btn_close", u"button")->click();
        QCOMPARE(seen.size(), std::size_t{1});
        QCOMPARE(seen[0].name, QStringLiteral("on_command"));
        QCOMPARE(seen[0].senderName, QStringLiteral("btn_close"));
        QCOMPARE(seen[0].senderId, 65539);
        QCOMPARE(seen[0].sender, FindByName(form.get(), u"btn_close"));

        auto* slider = FindByName<QSlider>(form.get(), u"bar_side_brightness", u"sliderbar");
        slider->setValue(3);  // set by the code: no event
        QCOMPARE(seen.size(), std::size_t{1});
        slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the user: event with the new value
        QCOMPARE(seen.size(), std::size_t{2});
        QCOMPARE(seen[1].name, QStringLiteral("on_slider_pos"));
        QCOMPARE(seen[1].value, 4);
        slider->setValue(7);
        slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // at the maximum: nothing moves
        slider->setValue(2);  // and a later change by the code still raises nothing
        QCOMPARE(seen.size(), std::size_t{2});

        FindByName<QComboBox>(form.get(), u"cbx_color_effect", u"combobox")->setCurrentIndex(1);
        QCOMPARE(seen.size(), std::size_t{3});
        QCOMPARE(seen[2].name, QStringLiteral("on_combobox_sel_change"));
        QCOMPARE(seen[2].value, 1);

        auto* edit = FindByName<SEditEx>(form.get(), u"key_delay", u"editex");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(seen.size(), std::size_t{4});
        QCOMPARE(seen[3].name, QStringLiteral("on_key_enter"));
        QCOMPARE(seen[3].senderId, 65584);

        // Attaching again does not connect twice.
        bridge.Attach(form.get());
        FindByName<QPushButton>(form.get(), u"btn_close", u"button")->click();
        QCOMPARE(seen.size(), std::size_t{5});
    }

    // Screen readers and voice control: lists named for what they are, the top-level form a window, a
    // slider set through the value interface raised like the user's own move; and Enter on a focused
    // button clicks it.
    void accessibilityAndKeyboardActivation() {
        auto form = LoadForm("form.ui");
        EventBridge bridge(form.get());
        std::vector<WidgetEvent> seen;
        bridge.SetHandler([&seen](const WidgetEvent& e) {
            seen.push_back(e);
            return true;
        });
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form.get());
        QVERIFY(window != nullptr);
        QCOMPARE(window->role(), QAccessible::Window);

        auto* list = FindByName<QComboBox>(form.get(), u"cbx_color_effect", u"combobox");
        list->setAccessibleName(QStringLiteral("Effect"));
        list->setCurrentIndex(1);
        seen.clear();
        QAccessibleInterface* listIface = QAccessible::queryAccessibleInterface(list);
        QCOMPARE(listIface->role(), QAccessible::ComboBox);
        QCOMPARE(listIface->text(QAccessible::Name), QStringLiteral("Effect"));
        QCOMPARE(listIface->text(QAccessible::Value), QStringLiteral("Breath"));
        QVERIFY(listIface->childCount() >= 1);

        auto* slider = FindByName<QSlider>(form.get(), u"bar_side_brightness", u"sliderbar");
        QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(slider)->valueInterface();
        QVERIFY(value != nullptr);
        QCOMPARE(value->maximumValue().toInt(), 7);
        value->setCurrentValue(5);
        QCOMPARE(slider->value(), 5);
        QCOMPARE(seen.size(), std::size_t{1});
        QCOMPARE(seen[0].name, QStringLiteral("on_slider_pos"));
        QCOMPARE(seen[0].value, 5);
        value->setCurrentValue(5);  // no move, no event
        QCOMPARE(seen.size(), std::size_t{1});

        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* button = FindByName<QPushButton>(form.get(), u"btn_close", u"button");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(seen.size(), std::size_t{3});
        QCOMPARE(seen[1].senderName, QStringLiteral("btn_close"));
        QCOMPARE(seen[2].name, QStringLiteral("on_command"));
        QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);  // not a plain Enter
        QCOMPARE(seen.size(), std::size_t{3});
    }

    void subscribersComeFirst() {
        auto form = LoadForm("form.ui");
        EventBridge bridge(form.get());
        QStringList order;
        bridge.SetHandler([&order](const WidgetEvent&) {
            order << QStringLiteral("window");
            return true;
        });
        auto* combo = FindByName<QComboBox>(form.get(), u"cbx_color_effect", u"combobox");
        bridge.Subscribe(combo, QStringLiteral("on_combobox_sel_change"), [&order](const WidgetEvent&) {
            order << QStringLiteral("pass");
            return false;
        });
        combo->setCurrentIndex(1);
        QCOMPARE(order, (QStringList{QStringLiteral("pass"), QStringLiteral("window")}));
        order.clear();
        bridge.Subscribe(combo, QStringLiteral("on_combobox_sel_change"), [&order](const WidgetEvent&) {
            order << QStringLiteral("handled");
            return true;
        });
        combo->setCurrentIndex(0);
        QCOMPARE(order, (QStringList{QStringLiteral("pass"), QStringLiteral("handled")}));
    }

    void skinsFile() {
        QTemporaryDir dir;
        QVERIFY(Strip({Qt::red, Qt::green, Qt::blue}).save(dir.filePath(QStringLiteral("art/strip.png"))) ||
                (QDir(dir.path()).mkpath(QStringLiteral("art")) &&
                 Strip({Qt::red, Qt::green, Qt::blue}).save(dir.filePath(QStringLiteral("art/strip.png")))));
        WriteFile(dir.filePath(QStringLiteral("skins.xml")),
                  "<skins>"
                  "<skin name='three' src='art/strip.png' frames='3'/>"
                  "<skin name='hex' src='art/strip.png' frames='0x3'/>"
                  "<skin name='one' src='art/strip.png'/>"
                  "<skin name='junkframes' src='art/strip.png' frames='abc'/>"
                  "<skin name='toomany' src='art/strip.png' frames='99'/>"
                  "<skin name='nosrc'/>"
                  "<skin name='missing' src='art/none.png'/>"
                  "<skin name='cut' src='art/strip.png' frames='3'");  // truncated document
        SkinPool pool;
        QCOMPARE(pool.LoadFile(dir.filePath(QStringLiteral("skins.xml"))), 5);
        QCOMPARE(pool.Find(QStringLiteral("three"))->Frames(), 3);
        QCOMPARE(pool.Find(QStringLiteral("three"))->FrameSize(), QSize(4, 2));
        QCOMPARE(pool.Find(QStringLiteral("hex"))->Frames(), 3);
        QCOMPARE(pool.Find(QStringLiteral("one"))->Frames(), 1);
        QCOMPARE(pool.Find(QStringLiteral("junkframes"))->Frames(), 1);
        QCOMPARE(pool.Find(QStringLiteral("toomany"))->Frames(), 12);  // never narrower than a pixel
        QVERIFY(!pool.Find(QStringLiteral("nosrc")));
        QVERIFY(!pool.Find(QStringLiteral("missing")));
        QVERIFY(!pool.Find(QStringLiteral("cut")));
        QVERIFY(!pool.Find(QString()));
        QCOMPARE(pool.LoadFile(dir.filePath(QStringLiteral("absent.xml"))), 0);
    }

    void skinDrawsFrame_data() {
        QTest::addColumn<int>("frame");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("0") << 0 << QColor(Qt::red);
        QTest::newRow("1") << 1 << QColor(Qt::green);
        QTest::newRow("last") << 2 << QColor(Qt::blue);
        QTest::newRow("past last") << 7 << QColor(Qt::blue);
        QTest::newRow("negative") << -1 << QColor(Qt::red);
    }

    void skinDrawsFrame() {
        QFETCH(int, frame);
        QFETCH(QColor, colour);
        const Skin skin(Strip({Qt::red, Qt::green, Qt::blue}), 3);
        QImage target(20, 10, QImage::Format_ARGB32);
        target.fill(Qt::white);
        {
            QPainter painter(&target);
            skin.Draw(painter, QRect(0, 0, 20, 10), frame);
        }
        QCOMPARE(target.pixelColor(10, 5), colour);
        QCOMPARE(target.pixelColor(19, 9), colour);
    }

    void untranslatedListEntriesSurviveALanguageChange() {
        QByteArray ui = R"(<ui version="4.0"><class>Form</class><widget class="QWidget" name="Form">
            <widget class="QComboBox" name="list">
             <item><property name="text"><string>Static</string></property></item>
             <item><property name="text"><string notr="true">—</string></property></item>
            </widget></widget></ui>)";
        QBuffer buffer(&ui);
        buffer.open(QIODevice::ReadOnly);
        LayoutLoader loader;
        std::unique_ptr<QWidget> form(loader.LoadDevice(&buffer));
        QVERIFY(form);
        auto* list = form->findChild<QComboBox*>(QStringLiteral("list"));
        QVERIFY(list);
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(form.get(), &change);
        QCOMPARE(list->itemText(0), QStringLiteral("Static"));
        QCOMPARE(list->itemText(1), QStringLiteral("—"));
    }

    void timelineTicks() {
        Timeline& timeline = Timeline::Shared();
        const std::size_t before = timeline.Count();
        QStringList calls;
        int second = 0;
        const int first = timeline.Register([&] {
            calls << QStringLiteral("first");
            timeline.Unregister(second);  // unregistered during the tick: not called any more
        });
        second = timeline.Register([&] { calls << QStringLiteral("second"); });
        timeline.Tick();
        QCOMPARE(calls, QStringList{QStringLiteral("first")});
        timeline.Unregister(first);
        timeline.Tick();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(timeline.Count(), before);
    }

    // A one-frame skin hands out its own image instead of a copy.
    void singleFrameSkinSharesItsImage() {
        const QPixmap strip = Strip({Qt::red});
        QCOMPARE(Skin(strip, 1).FramePixmap(0).cacheKey(), strip.cacheKey());
        const Skin three(Strip({Qt::red, Qt::green, Qt::blue}), 3);
        QCOMPARE(three.FramePixmap(1).toImage().pixelColor(0, 0), QColor(Qt::green));
    }

    void timelineRunsOnlyWhileBusy() {
        Timeline& timeline = Timeline::Shared();
        timeline.SetTimerEnabled(true);
        int ticks = 0;
        const int handle = timeline.Register([&] { ++ticks; });
        QVERIFY(timeline.IsTimerRunning());
        timeline.SetBusy(handle, false);
        QVERIFY(!timeline.IsTimerRunning());  // an idle window does not wake every 10 ms
        timeline.Tick();                      // a tick still reaches idle handlers (tests step by hand)
        QCOMPARE(ticks, 1);
        timeline.SetBusy(handle, true);
        QVERIFY(timeline.IsTimerRunning());
        timeline.Unregister(handle);
        QVERIFY(!timeline.IsTimerRunning());
        timeline.SetBusy(handle, true);  // unknown handles change nothing
        QVERIFY(!timeline.IsTimerRunning());
        timeline.SetTimerEnabled(false);
    }

    void menus() {
        QTemporaryDir dir;
        SetPackageFolder(dir.path());
        WriteFile(dir.filePath(QStringLiteral("menu/menu_more.xml")),
                  "<menu><item id='1' text='Firmware check'/><sep/>"
                  "<menu text='More'><item id='0x10' text='Sixteen' disabled='1'/></menu>"
                  "<item id='6' text='Exit'/><unknown/></menu>");
        WriteFile(dir.filePath(QStringLiteral("menu/ext.xml")),
                  "<menuRoot><item id='6' text='Exit'/></menuRoot>");
        WriteFile(dir.filePath(QStringLiteral("menu/other.xml")), "<list><item id='6'/></list>");
        WriteFile(dir.filePath(QStringLiteral("menu/broken.xml")), "<menu><item id='6'");
        QCOMPARE(ReadMenuKind(QStringLiteral("menu_more")), std::optional(MenuKind::Classic));
        QCOMPARE(ReadMenuKind(QStringLiteral("ext")), std::optional(MenuKind::Extended));
        QCOMPARE(ReadMenuKind(QStringLiteral("other")), std::optional(MenuKind::None));
        QCOMPARE(ReadMenuKind(QStringLiteral("broken")), std::nullopt);
        QCOMPARE(ReadMenuKind(QStringLiteral("absent")), std::nullopt);
        QVERIFY(!LoadMenu(QStringLiteral("other")));
        QVERIFY(!LoadMenu(QStringLiteral("broken")));
        QVERIFY(LoadMenu(QStringLiteral("ext")));

        auto menu = LoadMenu(QStringLiteral("menu_more"));
        QVERIFY(menu);
        const auto actions = menu->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions[0]->text(), QStringLiteral("Firmware check"));
        QCOMPARE(CommandOf(actions[0]), 1);
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(CommandOf(actions[1]), 0);
        QVERIFY(actions[2]->menu());
        QCOMPARE(CommandOf(actions[2]->menu()->actions().value(0)), 16);
        QVERIFY(!actions[2]->menu()->actions().value(0)->isEnabled());
        QCOMPARE(CommandOf(actions[3]), 6);
        SetPackageFolder(QString());
    }

    void scriptedPrompt() {
        kbtest::ScriptedPrompt prompt;
        prompt.Push(PromptAnswer::Yes);
        IPrompt& asked = prompt;
        QCOMPARE(
            asked.Ask(nullptr, QStringLiteral("Restore?"), QStringLiteral("Warning"), PromptButtons::YesNo),
            PromptAnswer::Yes);
        QCOMPARE(
            asked.Ask(nullptr, QStringLiteral("Again?"), QStringLiteral("Warning"), PromptButtons::YesNo),
            PromptAnswer::No);
        QCOMPARE(
            asked.Ask(nullptr, QStringLiteral("Sure?"), QStringLiteral("Warning"), PromptButtons::OkCancel),
            PromptAnswer::Cancel);
        QCOMPARE(prompt.AskedSoFar().size(), std::size_t{3});
        QCOMPARE(prompt.AskedSoFar()[0].text, QStringLiteral("Restore?"));
        QCOMPARE(prompt.AskedSoFar()[0].caption, QStringLiteral("Warning"));
    }

    void packageStrings() {
        QTemporaryDir dir;
        SetPackageFolder(dir.path());
        QCOMPARE(PackageString(0), QString());
        WriteFile(dir.filePath(QStringLiteral("values/string.xml")),
                  "<strings><string name='instance'>kbstudio-test</string><string>second</string></strings>");
        QCOMPARE(PackageString(0), QStringLiteral("kbstudio-test"));
        QCOMPARE(PackageString(1), QStringLiteral("second"));
        QCOMPARE(PackageString(2), QString());
        QCOMPARE(PackageString(-1), QString());
        SetPackageFolder(QString());
    }

    void languageSwitchRetranslates() {
        SetPackageFolder(QStringLiteral(KB_UI_TEST_PACKAGE));
        QVERIFY(SwitchLanguage(true));
        QCOMPARE(CurrentLanguage(), QStringLiteral("lang_cn"));
        auto form = LoadForm("lang.ui");
        QVERIFY(form);
        auto* label = FindByName<QLabel>(form.get(), u"version", u"text");
        auto* button = FindByName<QPushButton>(form.get(), u"btn_close", u"button");
        auto* fixed = FindByName<QLabel>(form.get(), u"fixed", u"text");
        auto* tabs = FindByName<QTabWidget>(form.get(), u"tab_color_effect", u"tabctrl");
        QCOMPARE(label->text(), QStringLiteral("固件"));
        QCOMPARE(button->text(), QStringLiteral("退出"));
        QCOMPARE(button->toolTip(), QStringLiteral("关闭"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("速度"));
        QCOMPARE(fixed->text(), QStringLiteral("Exit"));
        QCOMPARE(Tr(QStringLiteral("Early version")), QStringLiteral("早期版本"));

        QVERIFY(SwitchLanguage(false));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(label->text(), QStringLiteral("Firmware version"));
        QCOMPARE(button->text(), QStringLiteral("Quit"));
        QCOMPARE(button->toolTip(), QStringLiteral("Close"));  // no English entry: the layout's own text
        QCOMPARE(tabs->tabText(0), QStringLiteral("Speed"));
        QCOMPARE(fixed->text(), QStringLiteral("Exit"));
        QCOMPARE(Tr(QStringLiteral("Early version")), QStringLiteral("Early firmware"));

        // A missing translation changes nothing.
        SetPackageFolder(QStringLiteral(KB_UI_TEST_DATA "/nowhere"));
        QVERIFY(!SwitchLanguage(true));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(CurrentLanguage(), QStringLiteral("lang_en"));
        QCOMPARE(label->text(), QStringLiteral("Firmware version"));
        SetPackageFolder(QString());
    }
};

QTEST_MAIN(ToolkitTest)
#include "tst_toolkit.moc"
