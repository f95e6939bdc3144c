// The package's layouts, skins, menus, strings and style sheet, loaded the way the program loads them.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QXmlStreamReader>
#include <QtTest>
#include <memory>

#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/MenuLoader.h"
#include "kb/ui/NamedIds.h"
#include "kb/ui/Package.h"
#include "kb/ui/Skin.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/CoordButtonImage.h"
#include "kb/widgets/SShellNotifyIcon.h"
#include "kb/widgets/STabPage2.h"
#include "kb/widgets/WidgetClasses.h"

namespace {

using kb::ui::FindById;
using kb::ui::FindByName;

struct Named {
    const char* name;
    const char* element;  // the class the code asks for
};

// Names the main window looks up, with the class it asks for.
constexpr Named kMainWindow[] = {
    {"title", "text"},
    {"version", "text"},
    {"btn_more", "imgbtn"},
    {"btn_min", "window"},
    {"btn_close", "window"},
    {"zh_cn", "window"},
    {"jp", "window"},
    {"btn_restore_factory", "window"},
    {"img_keyboard", "cbimg"},
    {"tab_color_effect", "tabctrl"},
    {"cbx_color_effect", "combobox"},
    {"cbx_in_lv", "combobox"},
    {"cbx_side_color_effect", "combobox"},
    {"bar_side_brightness", "sliderbar"},
    {"text_side_brightness", "window"},
    {"bar_general_speed_0", "sliderbar"},
    {"bar_general_speed_1", "sliderbar"},
    {"bar_general_speed_3", "sliderbar"},
    {"bar_const_brightness_0", "sliderbar"},
    {"bar_const_brightness_1", "sliderbar"},
    {"bar_const_brightness_2", "sliderbar"},
    {"bar_const_brightness_3", "sliderbar"},
    {"radio_direction_left_0", "radio"},
    {"radio_direction_right_0", "radio"},
    {"radio_loader_left_3", "radio"},
    {"radio_loader_center_3", "radio"},
    {"radio_loader_right_3", "radio"},
};

// Names the assignment dialog and its list adapters look up.
constexpr Named kDialog[] = {
    {"key_info", "mclistview"},
    {"macro_group", "listview"},
    {"text_recording_keys", "text"},
    {"tab_macro_mode_selection", "tabctrl2"},
    {"edit_macro_delay_time", "edit"},
    {"edit_macro_repeat_times", "edit"},
    {"chk_macro_record", "checkex"},
    {"chk_single_record", "checkex"},
    {"edit_single_key", "text"},
    {"cmb_media_keys", "combobox"},
    {"cmb_function_keys", "combobox"},
    {"macro_play_mode", "combobox"},
    {"chk_macro_realy_delay", "window"},
    {"chk_macro_fixed_delay", "window"},
    {"chk_macro_no_delay", "window"},
    {"btnOK", "window"},
    {"btnCancel", "window"},
    {"btnDelete", "window"},
    {"btnMin", "window"},
    {"btnRestore", "window"},
    {"groupAdd", "window"},
    {"groupDel", "window"},
    {"item_up", "window"},
    {"item_down", "window"},
    {"item_delete", "window"},
    {"item_clear", "window"},
    {"group_name", "edit"},
    {"key_code", "window"},
    {"key_name", "window"},
    {"key_state", "window"},
    {"key_delay", "editex"},
    {"col1", "window"},
    {"col2", "window"},
    {"col3", "window"},
    {"col4", "window"},
};

std::unique_ptr<QWidget> Load(const char* layout) {
    kb::ui::LayoutLoader loader;
    kb::widgets::RegisterProgramWidgets(loader);
    return std::unique_ptr<QWidget>(loader.LoadLayout(QString::fromLatin1(layout)));
}

QStringList ItemTexts(const QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) {
        texts << box->itemText(i);
    }
    return texts;
}

bool IsInside(const QWidget* widget, const QWidget* ancestor) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (w == ancestor) {
            return true;
        }
    }
    return false;
}

bool HasLetter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

bool HasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

// What a user operates: buttons, lists, sliders, edits, tab sets and the keyboard picture. The row
// templates inside the lists are no controls of their own.
bool IsControl(const QWidget* widget) {
    if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_"))) {
        return false;
    }
    // Qt's own parts (a tab bar's scroll buttons) are named by Qt's translations.
    if (qobject_cast<const QTabBar*>(widget->parentWidget()) != nullptr) {
        return false;
    }
    for (const QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (qobject_cast<const QAbstractItemView*>(w) != nullptr) {
            return false;
        }
    }
    return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QTabWidget*>(widget) != nullptr ||
           qobject_cast<const CoordButtonImage*>(widget) != nullptr;
}

QString AccessibleName(QObject* object) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

struct ClickLog : ICoordButtonClickListener {
    QList<QPair<int32_t, int>> events;  // key code, release flag
    int OnCoordButtonClick(int32_t code, const QString&, int released, uint32_t, int, int) override {
        events.append({code, released});
        return 0;
    }
};

// Style sheet parse errors arrive as warnings.
QStringList g_warnings;
void CollectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        g_warnings << message;
    }
}

}  // namespace

class UiresLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        kb::ui::SetProgramFolder(QStringLiteral(KB_PROGRAM_DIR));
        kb::ui::SetPackageFolder(QStringLiteral(KB_PROGRAM_DIR "/uires"));
    }

    void namedWidgetsArePresent_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("element");
        for (const Named& n : kMainWindow) {
            QTest::newRow(n.name) << QStringLiteral("XML_MAINWND") << QString::fromLatin1(n.name)
                                  << QString::fromLatin1(n.element);
        }
        for (const Named& n : kDialog) {
            QTest::newRow(n.name) << QStringLiteral("macro") << QString::fromLatin1(n.name)
                                  << QString::fromLatin1(n.element);
        }
    }

    // Found by name and by its table ID, with the class the code asks for.
    void namedWidgetsArePresent() {
        QFETCH(QString, layout);
        QFETCH(QString, name);
        QFETCH(QString, element);
        const auto root = Load(layout.toLatin1().constData());
        QVERIFY(root);
        QWidget* byName = FindByName(root.get(), name, element);
        QVERIFY2(byName != nullptr, qPrintable(QStringLiteral("%1 as %2").arg(name, element)));
        // The language buttons are matched by name only and have no ID.
        if (const auto id = kb::ui::IdForName(name)) {
            QCOMPARE(kb::ui::WidgetId(byName), *id);
            QCOMPARE(FindById(root.get(), *id, element), byName);
        }
    }

    void mainWindowContents() {
        const auto root = Load("XML_MAINWND");
        QVERIFY(root);

        const auto* effects = FindByName<QComboBox>(root.get(), u"cbx_color_effect", u"combobox");
        QCOMPARE(effects->count(), 21);
        QCOMPARE(effects->itemText(20), QStringLiteral("\u2014"));
        QCOMPARE(ItemTexts(effects).mid(0, 20).removeDuplicates(), qsizetype(0));
        const auto* side = FindByName<QComboBox>(root.get(), u"cbx_side_color_effect", u"combobox");
        QCOMPARE(side->count(), 12);
        QCOMPARE(ItemTexts(side).removeDuplicates(), qsizetype(0));
        QVERIFY(FindByName<QComboBox>(root.get(), u"cbx_in_lv", u"combobox")->count() >= 1);
        // Nothing chosen until the stored state is shown: the first refresh then stores and sends it.
        QCOMPARE(effects->currentIndex(), -1);
        QCOMPARE(side->currentIndex(), -1);
        for (const char16_t* radio :
             {u"radio_direction_left_0", u"radio_direction_right_0", u"radio_loader_left_3",
              u"radio_loader_center_3", u"radio_loader_right_3"}) {
            QVERIFY2(!FindByName<QAbstractButton>(root.get(), radio, u"radio")->isChecked(),
                     qPrintable(QString::fromUtf16(radio)));
        }
        // The profile list has nothing to choose from and must not look as if it had.
        QVERIFY(!FindByName(root.get(), u"cbx_in_lv")->isEnabled());

        // Stored ranges: brightness 0-5, speed 0-2, side level 0-7.
        const struct {
            const char16_t* name;
            int max;
        } sliders[] = {{u"bar_general_speed_0", 2},    {u"bar_general_speed_1", 2},
                       {u"bar_general_speed_3", 2},    {u"bar_const_brightness_0", 5},
                       {u"bar_const_brightness_1", 5}, {u"bar_const_brightness_2", 5},
                       {u"bar_const_brightness_3", 5}, {u"bar_side_brightness", 7}};
        for (const auto& s : sliders) {
            const auto* slider = FindByName<QSlider>(root.get(), s.name, u"sliderbar");
            QVERIFY(slider != nullptr);
            QCOMPARE(slider->minimum(), 0);
            QCOMPARE(slider->maximum(), s.max);
        }

        // Four pages, each holding the controls of its effect group.
        auto* tab = FindByName<QTabWidget>(root.get(), u"tab_color_effect", u"tabctrl");
        QCOMPARE(tab->count(), 4);
        const struct {
            int page;
            const char16_t* name;
        } onPage[] = {
            {0, u"bar_general_speed_0"},     {0, u"bar_const_brightness_0"}, {0, u"radio_direction_left_0"},
            {0, u"radio_direction_right_0"}, {1, u"bar_general_speed_1"},    {1, u"bar_const_brightness_1"},
            {2, u"bar_const_brightness_2"},  {3, u"bar_general_speed_3"},    {3, u"bar_const_brightness_3"},
            {3, u"radio_loader_left_3"},     {3, u"radio_loader_center_3"},  {3, u"radio_loader_right_3"}};
        for (const auto& p : onPage) {
            QVERIFY2(IsInside(FindByName(root.get(), p.name), tab->widget(p.page)),
                     qPrintable(QString::fromUtf16(p.name)));
        }

        // Each radio group is one exclusive group of its own.
        const QWidget* direction = FindByName(root.get(), u"radio_direction_left_0")->parentWidget();
        const QWidget* loader = FindByName(root.get(), u"radio_loader_left_3")->parentWidget();
        QVERIFY(direction != loader);
        QCOMPARE(FindByName(root.get(), u"radio_direction_right_0")->parentWidget(), direction);
        QCOMPARE(FindByName(root.get(), u"radio_loader_center_3")->parentWidget(), loader);
        QCOMPARE(FindByName(root.get(), u"radio_loader_right_3")->parentWidget(), loader);

        // The keyboard picture with its keys and all three images.
        auto* keyboard = FindByName<CoordButtonImage>(root.get(), u"img_keyboard", u"cbimg");
        QCOMPARE(keyboard->Keys().size(), std::size_t{105});
        // Drawn at the widget's own size: a scaled picture would put the caps beside their click areas.
        QCOMPARE(keyboard->minimumSize(), keyboard->maximumSize());
        for (const QString& image : {keyboard->bg(), keyboard->chking(), keyboard->chked()}) {
            QCOMPARE(kb::ui::ResolveImage(image).size(), keyboard->maximumSize());
        }

        // The tray icon: its icons, and a menu that loads.
        const auto trays = root->findChildren<SShellNotifyIcon*>();
        QCOMPARE(trays.size(), 1);
        QVERIFY(trays.front()->IconCount() >= 1);
        QVERIFY(trays.front()->MenuKindOf() != kb::ui::MenuKind::None);
        QVERIFY(!trays.front()->tip().isEmpty());
    }

    void dialogContents() {
        const auto root = Load("macro");
        QVERIFY(root);
        const auto* play = FindByName<QComboBox>(root.get(), u"macro_play_mode", u"combobox");
        QCOMPARE(ItemTexts(play),
                 (QStringList{QStringLiteral("Play N times"), QStringLiteral("Repeat while held"),
                              QStringLiteral("Toggle repeat")}));
        // Filled from the settings file: the layout gives no entries of its own.
        QCOMPARE(FindByName<QComboBox>(root.get(), u"cmb_media_keys", u"combobox")->count(), 0);
        QCOMPARE(FindByName<QComboBox>(root.get(), u"cmb_function_keys", u"combobox")->count(), 0);

        // Macro, single key, media key, function key; each tab animates its header icon.
        auto* tabs = FindByName<QTabWidget>(root.get(), u"tab_macro_mode_selection", u"tabctrl2");
        QCOMPARE(tabs->count(), 4);
        for (int i = 0; i < tabs->count(); ++i) {
            auto* page = qobject_cast<STabPage2*>(tabs->widget(i));
            QVERIFY(page != nullptr);
            QVERIFY(page->AniInSkin() != nullptr && page->AniInSkin()->Frames() > 1);
            QVERIFY(page->AniOutSkin() != nullptr && page->AniOutSkin()->Frames() > 1);
        }
        QVERIFY(IsInside(FindByName(root.get(), u"key_info"), tabs->widget(0)));
        QVERIFY(IsInside(FindByName(root.get(), u"edit_single_key"), tabs->widget(1)));
        QVERIFY(IsInside(FindByName(root.get(), u"cmb_media_keys"), tabs->widget(2)));
        QVERIFY(IsInside(FindByName(root.get(), u"cmb_function_keys"), tabs->widget(3)));

        // Row templates sit, hidden, inside their lists.
        const QWidget* groups = FindByName(root.get(), u"macro_group");
        const QWidget* steps = FindByName(root.get(), u"key_info");
        QVERIFY(IsInside(FindByName(root.get(), u"group_name"), groups));
        for (const char16_t* cell :
             {u"key_code", u"key_name", u"key_state", u"key_delay", u"col1", u"col4"}) {
            const QWidget* widget = FindByName(root.get(), cell);
            QVERIFY2(IsInside(widget, steps), qPrintable(QString::fromUtf16(cell)));
            QVERIFY(!widget->isVisibleTo(root.get()));
        }

        // The three delay modes are one exclusive group.
        const QWidget* modes = FindByName(root.get(), u"chk_macro_realy_delay")->parentWidget();
        QCOMPARE(FindByName(root.get(), u"chk_macro_fixed_delay")->parentWidget(), modes);
        QCOMPARE(FindByName(root.get(), u"chk_macro_no_delay")->parentWidget(), modes);
    }

    // Every skin or image a layout names exists in the package, and window buttons have their icons.
    void everyNamedImageResolves() {
        for (const char* layout : {"XML_MAINWND", "macro"}) {
            const auto root = Load(layout);
            QVERIFY(root);
            const auto widgets = root->findChildren<QWidget*>();
            for (const QWidget* widget : widgets) {
                for (const char* property : {"skin", "focusSkin", "iconSkin", "ani_in", "ani_out", "tabSkin",
                                             "tabHeadBgSkin", "bg", "chking", "chked", "ico"}) {
                    const QString value = widget->property(property).toString();
                    for (const QString& name : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                        QVERIFY2(!kb::ui::ResolveImage(name).isNull(),
                                 qPrintable(QStringLiteral("%1.%2 = %3")
                                                .arg(widget->objectName(), QLatin1String(property), name)));
                    }
                }
                const auto* button = qobject_cast<const QToolButton*>(widget);
                if (button != nullptr && button->property("role").toString() == QLatin1String("chrome")) {
                    QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
                }
            }
        }
        // Every skin of the package loads, its strip cut into whole frames.
        QFile skins(kb::ui::PackagePath(QStringLiteral("skins.xml")));
        QVERIFY(skins.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&skins);
        int count = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("skin")) {
                continue;
            }
            const QString name = xml.attributes().value(QLatin1String("name")).toString();
            const QString src = xml.attributes().value(QLatin1String("src")).toString();
            const int frames = qMax(1, xml.attributes().value(QLatin1String("frames")).toInt());
            const auto skin = kb::ui::SkinPool::Shared().Find(name);
            QVERIFY2(skin != nullptr && !skin->IsNull(), qPrintable(name));
            QCOMPARE(skin->Frames(), frames);
            QCOMPARE(skin->FrameSize().width() * frames, QImage(kb::ui::PackagePath(src)).width());
            ++count;
        }
        QVERIFY(!xml.hasError());
        QVERIFY(count > 0);
        QVERIFY(kb::ui::SkinPool::Shared().Find(QStringLiteral("ICON_LOGO")) != nullptr);
        // Eight check-box states in every box icon.
        for (const char* name : {"ico_check", "ico_radio", "ico_record"}) {
            QCOMPARE(kb::ui::SkinPool::Shared().Find(QString::fromLatin1(name))->Frames(), 8);
        }
    }

    void menusCarryTheirCommands_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("commands");
        QTest::newRow("more") << QStringLiteral("menu_more") << int(kb::ui::MenuKind::Extended)
                              << QList<int>{1, 6};
        QTest::newRow("tray") << QStringLiteral("menu_tray") << int(kb::ui::MenuKind::Classic)
                              << QList<int>{2, 6};
    }

    void menusCarryTheirCommands() {
        QFETCH(QString, menu);
        QFETCH(int, kind);
        QFETCH(QList<int>, commands);
        QCOMPARE(int(kb::ui::ReadMenuKind(menu).value_or(kb::ui::MenuKind::None)), kind);
        const auto loaded = kb::ui::LoadMenu(menu);
        QVERIFY(loaded);
        QList<int> found;
        for (const QAction* action : loaded->actions()) {
            if (!action->isSeparator()) {
                QVERIFY(!action->text().isEmpty());
                found << kb::ui::CommandOf(action);
            }
        }
        QCOMPARE(found, commands);
    }

    void instanceNameIsSet() {
        const QString name = kb::ui::PackageString(0);
        QVERIFY(!name.isEmpty());
        QCOMPARE(name.trimmed(), name);
    }

    // Loaded windows follow the language: texts of the layouts and of the code.
    void languageSwitchRetranslatesLayouts() {
        QVERIFY(kb::ui::SwitchLanguage(true));
        const auto root = Load("XML_MAINWND");
        auto* reset = FindByName<QAbstractButton>(root.get(), u"btn_restore_factory", u"window");
        auto* effects = FindByName<QComboBox>(root.get(), u"cbx_color_effect", u"combobox");
        QCOMPARE(reset->text(), QStringLiteral("恢复出厂设置"));
        QCOMPARE(effects->itemText(0), QStringLiteral("常亮"));
        QCOMPARE(kb::ui::Tr(QStringLiteral("Stop record")), QStringLiteral("停止录制"));

        QVERIFY(kb::ui::SwitchLanguage(false));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(reset->text(), QStringLiteral("Restore factory settings"));
        QCOMPARE(effects->itemText(0), QStringLiteral("Static"));
        QCOMPARE(kb::ui::Tr(QStringLiteral("Stop record")), QStringLiteral("Stop record"));
    }

    void widgetsFitTheirBoxes_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("chinese");
        for (const char* layout : {"XML_MAINWND", "macro"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 en").arg(QLatin1String(layout))))
                << QString::fromLatin1(layout) << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 cn").arg(QLatin1String(layout))))
                << QString::fromLatin1(layout) << true;
        }
    }

    // With the style sheet, in both languages, no widget is pushed into its box's border or margins
    // (a fixed-size child wider than the room left shows up as squeezed margins on one side).
    void widgetsFitTheirBoxes() {
        QFETCH(QString, layout);
        QFETCH(bool, chinese);
        QFile file(kb::ui::PackagePath(QStringLiteral("style/style.qss")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        QVERIFY(kb::ui::SwitchLanguage(chinese));
        const auto root = Load(layout.toLatin1().constData());
        QVERIFY(root);
        root->show();
        QCoreApplication::processEvents();
        QStringList outside;
        const auto boxes = root->findChildren<QWidget*>();
        for (const QWidget* box : boxes) {
            // Qt's own inner widgets ("qt_tabwidget_stackedwidget"…) place their children themselves.
            if (box->layout() == nullptr || !box->isVisibleTo(root.get()) ||
                box->objectName().startsWith(QLatin1String("qt_"))) {
                continue;
            }
            const QRect room = box->contentsRect().marginsRemoved(box->layout()->contentsMargins());
            for (const QObject* object : box->children()) {
                const auto* child = qobject_cast<const QWidget*>(object);
                if (child != nullptr && !child->isWindow() && child->isVisibleTo(root.get()) &&
                    !room.contains(child->geometry())) {
                    outside << QStringLiteral("%1 in %2").arg(child->objectName(), box->objectName());
                }
            }
        }
        qApp->setStyleSheet(QString());
        QVERIFY(kb::ui::SwitchLanguage(false));
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join(QLatin1Char('\n'))));
    }

    void controlsHaveAccessibleNames_data() { widgetsFitTheirBoxes_data(); }

    // Screen readers, and tests that drive the windows through the accessibility tree, find every control
    // by a name in words of the window's language (the language buttons name their own language).
    void controlsHaveAccessibleNames() {
        QFETCH(QString, layout);
        QFETCH(bool, chinese);
        QVERIFY(kb::ui::SwitchLanguage(chinese));
        const auto root = Load(layout.toLatin1().constData());
        QVERIFY(root);
        QStringList wrong;
        int controls = 0;
        const auto widgets = root->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            if (!IsControl(widget)) {
                continue;
            }
            ++controls;
            const QString name = AccessibleName(widget);
            const bool ownLanguage =
                widget->objectName() == QLatin1String("zh_cn") || widget->objectName() == QLatin1String("jp");
            if (!HasLetter(name) || (!ownLanguage && HasChinese(name) != chinese)) {
                wrong << QStringLiteral("%1: \"%2\"").arg(widget->objectName(), name);
            }
        }
        QVERIFY(kb::ui::SwitchLanguage(false));
        QVERIFY(controls > 10);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }

    // The keys of the picture are buttons of the accessibility tree, named as their keys; pressing one
    // clicks it, and its tooltip names it too.
    void keyboardKeysAreReachableByName() {
        const auto root = Load("XML_MAINWND");
        auto* keyboard = FindByName<CoordButtonImage>(root.get(), u"img_keyboard", u"cbimg");
        ClickLog log;
        keyboard->SetListener(&log);
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(keyboard);
        QVERIFY(picture != nullptr);
        QCOMPARE(picture->childCount(), 105);
        QMap<QString, QAccessibleInterface*> byName;
        for (int i = 0; i < picture->childCount(); ++i) {
            QAccessibleInterface* key = picture->child(i);
            QCOMPARE(key->role(), QAccessible::Button);
            QCOMPARE(picture->indexOfChild(key), i);
            QCOMPARE(key->parent(), picture);
            byName.insert(key->text(QAccessible::Name), key);
        }
        QCOMPARE(byName.size(), 105);
        QVERIFY(!byName.contains(QStringLiteral("K45")));

        QAccessibleInterface* a = byName.value(QStringLiteral("A"));
        QVERIFY(a != nullptr);
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(log.events, (QList<QPair<int32_t, int>>{{30, 0}, {30, 1}}));

        keyboard->SetMarked(30, true);
        keyboard->SetLabel(30, QStringLiteral("A : Copy"));
        QVERIFY(a->state().checked);
        QCOMPARE(a->text(QAccessible::Description), QStringLiteral("A : Copy"));

        KeyButton iso;
        QVERIFY(keyboard->GetButton(0x56, iso));
        keyboard->MouseMovedTo(QPoint((iso.left + iso.right) / 2, (iso.top + iso.bottom) / 2));
        QCOMPARE(keyboard->toolTip(), QStringLiteral("<>"));
        QCOMPARE(picture
                     ->childAt(keyboard->mapToGlobal(QPoint(iso.left, iso.top)).x(),
                               keyboard->mapToGlobal(QPoint(iso.left, iso.top)).y())
                     ->text(QAccessible::Name),
                 QStringLiteral("<>"));
    }

    // The fourth kind of assignment goes by one name, on its tab and inside it, in both languages.
    void fourthTabHasOneName() {
        for (const bool chinese : {false, true}) {
            QVERIFY(kb::ui::SwitchLanguage(chinese));
            const auto root = Load("macro");
            auto* tabs = FindByName<QTabWidget>(root.get(), u"tab_macro_mode_selection", u"tabctrl2");
            const auto* label = root->findChild<QLabel*>(QStringLiteral("lbl_function_key"));
            QVERIFY(label != nullptr);
            QCOMPARE(tabs->tabText(3), label->text());
        }
        QVERIFY(kb::ui::SwitchLanguage(false));
    }

    // The style sheet parses (Qt only warns when it does not).
    void styleSheetParses() {
        QFile file(kb::ui::PackagePath(QStringLiteral("style/style.qss")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        g_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(CollectWarnings);
        qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
        {
            const auto root = Load("macro");
            root->show();
            QCoreApplication::processEvents();
        }
        qApp->setStyleSheet(QString());
        qInstallMessageHandler(previous);
        QVERIFY2(g_warnings.filter(QStringLiteral("style")).isEmpty(), qPrintable(g_warnings.join('\n')));
    }
};

QTEST_MAIN(UiresLayoutTest)
#include "UiresLayoutTest.moc"
