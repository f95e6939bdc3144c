// The key assignment dialog alone, offscreen: its start from the remembered choices, the handlers, the
// recording through the filter's monitor, the single-key capture and the two lists.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <fstream>

#include "DialogFixture.h"
#include "kb/device/FilterWire.h"
#include "kb/ui/Translator.h"
#include "tst_assign_page.h"

using kb::MacroStep;
using kb::assignment::KeyAndDelayAdapter;
using kb::assignment::KeyAssignmentPage;
using kb::assignment::MacroRecordDlg;
using kbtest::Click;
using kbtest::ClickRow;
using kbtest::DialogWorld;
using kbtest::Find;
using kbtest::kA;
using kbtest::kB;
using kbtest::kS;
using Modes = std::vector<uint32_t>;

namespace {
constexpr uint32_t kCapture = kb::filterwire::kModeCapture;

std::vector<int32_t> Delays(const kb::MacroGroup& group) {
    std::vector<int32_t> delays;
    for (const MacroStep& s : group.steps) {
        delays.push_back(s.delay);
    }
    return delays;
}
}  // namespace

class TestMacroDialog : public QObject {
    Q_OBJECT
  private slots:
    void opensWithTheRememberedChoices() {
        DialogWorld w;
        w.AddGroup(u"Group 0");
        w.AddGroup(u"Group 1");
        w.library.type = 2;
        w.library.mode = 5;
        w.library.group = 7;
        w.library.play = 1;
        w.library.media = 1;
        w.library.function = 1;
        w.library.repeat = 3;
        w.library.skcode = static_cast<int32_t>(kB);
        auto d = w.Open({{kS, u"S"}, {kA, u"A"}});
        QVERIFY(d);
        QCOMPARE(Find<QTabWidget>(*d, "tab_macro_mode_selection")->currentIndex(), 2);
        QCOMPARE(w.Modes(), (Modes{0}));  // the tab handler ran once: monitor off, mode 0
        QVERIFY(!w.channel.IsMonitoring());
        QCOMPARE(w.library.mode, 0);
        QVERIFY(w.LibraryFile().find("mode=\"0\"") != std::string::npos);
        QVERIFY(Find<QAbstractButton>(*d, "chk_macro_realy_delay")->isChecked());
        QVERIFY(!Find<QLineEdit>(*d, "edit_macro_delay_time")->isEnabled());
        QCOMPARE(w.library.group, 0);
        QCOMPARE(d->GroupAdapter().rowCount(), 2);
        QCOMPARE(Find<QLabel>(*d, "text_recording_keys")->text(), QStringLiteral("A,S"));
        QCOMPARE(Find<QLabel>(*d, "edit_single_key")->text(), QStringLiteral("B"));
        QCOMPARE(Find<QLineEdit>(*d, "edit_macro_repeat_times")->text(), QStringLiteral("3"));
        QCOMPARE(Find<QComboBox>(*d, "cmb_media_keys")->count(), 2);
        QCOMPARE(Find<QComboBox>(*d, "cmb_media_keys")->currentText(), QStringLiteral("Mute"));
        QCOMPARE(Find<QComboBox>(*d, "cmb_function_keys")->currentIndex(), 1);
        QCOMPARE(Find<QComboBox>(*d, "macro_play_mode")->currentIndex(), 1);
        QVERIFY(!Find<QAbstractButton>(*d, "chk_macro_record")->isChecked());
        // The step list's captions come from the layout's hidden column labels.
        QCOMPARE(d->StepAdapter().headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
                 Find<QLabel>(*d, "col4")->text());
    }

    // A negative delay mode (a hand-edited file) is corrected like one of 3 or more: no button would
    // show what recording does.
    void negativeDelayModeIsCorrected() {
        DialogWorld w;
        w.library.mode = -1;
        auto d = w.Open();
        QVERIFY(d);
        QCOMPARE(w.library.mode, 0);
        QVERIFY(Find<QAbstractButton>(*d, "chk_macro_realy_delay")->isChecked());
        QVERIFY(!Find<QLineEdit>(*d, "edit_macro_delay_time")->isEnabled());
        QVERIFY(w.LibraryFile().find("mode=\"0\"") != std::string::npos);
    }

    void singleKeyTabCapturesThePressedKey() {
        DialogWorld w;
        w.library.type = 1;
        auto d = w.Open();
        QVERIFY(d);
        // The tab switch from the layout's first tab starts the capture, and so does the last step of the
        // initialisation.
        QCOMPARE(w.Modes(), (Modes{kCapture, kCapture}));
        QVERIFY(Find<QAbstractButton>(*d, "chk_single_record")->isChecked());  // listening
        w.filter->PressKey(kB);
        QTRY_COMPARE(w.library.skcode, static_cast<int32_t>(kB));
        QCOMPARE(Find<QLabel>(*d, "edit_single_key")->text(), QStringLiteral("B"));
        // A key the picture lacks is remembered but not shown; releases change nothing.
        w.filter->ReleaseKey(kB);
        w.filter->PressKey(0x74);
        QTRY_COMPARE(w.library.skcode, 0x74);
        QCOMPARE(Find<QLabel>(*d, "edit_single_key")->text(), QStringLiteral("B"));
        QCOMPARE(Find<QLabel>(*d, "edit_single_key")->property("userValue").toInt(), 0);
        // Leaving the tab stops the capture.
        Find<QTabWidget>(*d, "tab_macro_mode_selection")->setCurrentIndex(3);
        QCOMPARE(w.Modes(), (Modes{kCapture, kCapture, 0}));
        QVERIFY(!w.channel.IsMonitoring());
        QVERIFY(!Find<QAbstractButton>(*d, "chk_single_record")->isChecked());
        QCOMPARE(w.library.type, 3);
        QVERIFY(w.LibraryFile().find("type=\"3\"") != std::string::npos);
    }

    // The key monitor the dialog started ends with the dialog, however it is closed.
    void closingTheDialogStopsItsMonitor_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK") << QStringLiteral("btnOK");
        QTest::newRow("close") << QStringLiteral("btnClose");
        QTest::newRow("Escape") << QString();
    }
    void closingTheDialogStopsItsMonitor() {
        QFETCH(QString, button);
        DialogWorld w;
        w.library.type = 1;
        auto d = w.Open();
        QVERIFY(d);
        QVERIFY(w.channel.IsMonitoring());
        if (button.isEmpty()) {
            QTest::keyClick(d.get(), Qt::Key_Escape);
        } else {
            Click(*d, button.toLatin1().constData());
        }
        QVERIFY(!d->isVisible());
        QVERIFY(!w.channel.IsMonitoring());
    }

    void delayModesAndNumberFields() {
        DialogWorld w;
        w.library.delay = 25;
        auto d = w.Open();
        QVERIFY(d);
        auto* delay = Find<QLineEdit>(*d, "edit_macro_delay_time");
        Click(*d, "chk_macro_fixed_delay");
        QCOMPARE(w.library.mode, 1);
        QVERIFY(delay->isEnabled());
        QCOMPARE(delay->text(), QStringLiteral("25"));
        delay->selectAll();
        QTest::keyClicks(delay, "40");
        QCOMPARE(w.library.delay, 40);
        QVERIFY(w.LibraryFile().find("delay=\"40\"") != std::string::npos);
        Click(*d, "chk_macro_no_delay");
        QCOMPARE(delay->text(), QStringLiteral("0"));
        QVERIFY(!delay->isEnabled());
        QCOMPARE(w.library.delay, 40);
        Click(*d, "chk_macro_realy_delay");
        QCOMPARE(w.library.mode, 0);
        emit delay->textEdited(QStringLiteral("99"));  // cannot be typed; stores nothing if it came
        QCOMPARE(w.library.delay, 40);
        auto* repeat = Find<QLineEdit>(*d, "edit_macro_repeat_times");
        repeat->selectAll();
        QTest::keyClicks(repeat, "-3x");
        QCOMPARE(w.library.repeat, -3);
        QVERIFY(w.LibraryFile().find("repeat=\"-3\"") != std::string::npos);
    }

    void recordsWithRealFixedAndNoDelay_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<std::vector<int32_t>>("delays");
        QTest::newRow("real") << 0 << std::vector<int32_t>{120, 30, 0};
        QTest::newRow("fixed") << 1 << std::vector<int32_t>{50, 50, 0};
        QTest::newRow("none") << 2 << std::vector<int32_t>{0, 0, 0};
    }
    void recordsWithRealFixedAndNoDelay() {
        QFETCH(int, mode);
        QFETCH(std::vector<int32_t>, delays);
        DialogWorld w;
        w.AddGroup(u"Group 0");
        w.library.mode = mode;
        w.library.delay = 50;
        auto d = w.Open();
        QVERIFY(d);
        auto* record = Find<QAbstractButton>(*d, "chk_macro_record");
        ClickRow(*d, "macro_group", 0);
        Click(*d, "chk_macro_record");
        QVERIFY(d->RecordingActive());
        QCOMPARE(record->text(), kb::ui::Tr(QStringLiteral("Stop record")));
        QCOMPARE(w.Modes(), (Modes{kCapture}));
        w.Key(kA, true, 1000);
        w.Key(kA, false, 1120);
        w.Key(kS, true, 1150);
        QCOMPARE(Delays(w.library.groups[0]), delays);
        QCOMPARE(w.library.groups[0].steps[1], (MacroStep{kA, 1, delays[1], u"A"}));
        QCOMPARE(d->StepAdapter().rowCount(), 3);
        QCOMPARE(d->StepAdapter().data(d->StepAdapter().index(1, 2), Qt::DisplayRole).toString(),
                 kb::ui::Tr(QStringLiteral("key up")));
        Click(*d, "chk_macro_record");
        QCOMPARE(record->text(), kb::ui::Tr(QStringLiteral("Start record")));
        QCOMPARE(w.Modes(), (Modes{kCapture, 0}));
        QVERIFY(!w.channel.IsMonitoring());
        QVERIFY(!d->RecordingActive());
    }

    // The first event after opening has nothing to measure from: the old last step keeps its delay.
    void firstRecordedEventKeepsTheOldLastDelay() {
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kS, 1, 75, u"S"}});
        auto d = w.Open();
        QVERIFY(d);
        ClickRow(*d, "macro_group", 0);
        Click(*d, "chk_macro_record");
        w.Key(kA, true, 7'200'000);  // two hours after the program started
        w.Key(kA, false, 7'200'040);
        QCOMPARE(Delays(w.library.groups[0]), (std::vector<int32_t>{75, 40, 0}));
    }

    void recordingNeedsASelectedGroupAndSaysWhy() {
        DialogWorld w;
        w.AddGroup(u"Group 0");
        auto d = w.Open();
        QVERIFY(d);
        Find<QListView>(*d, "macro_group")->clearSelection();
        Click(*d, "chk_macro_record");
        QVERIFY(!Find<QAbstractButton>(*d, "chk_macro_record")->isChecked());
        QVERIFY(!d->RecordingActive());
        QCOMPARE(w.prompt.AskedSoFar().size(), std::size_t{1});
        QVERIFY(w.prompt.AskedSoFar()[0].text.contains(QStringLiteral("select a macro")));
        QCOMPARE(w.Modes(), (Modes{0}));  // the unchecked row: monitor stopped, mode 0
    }

    // Stopping a recording whose group was deleted meanwhile: the box says "Start record" again and no
    // warning about starting one appears.
    void stoppingAfterTheGroupWasDeleted() {
        DialogWorld w;
        w.AddGroup(u"Group 0");
        auto d = w.Open();
        QVERIFY(d);
        auto* record = Find<QAbstractButton>(*d, "chk_macro_record");
        ClickRow(*d, "macro_group", 0);
        Click(*d, "chk_macro_record");
        QVERIFY(d->RecordingActive());
        Click(*d, "groupDel");
        Click(*d, "chk_macro_record");
        QVERIFY(!record->isChecked());
        QCOMPARE(record->text(), kb::ui::Tr(QStringLiteral("Start record")));
        QVERIFY(w.prompt.AskedSoFar().empty());
        QVERIFY(!d->RecordingActive());
        QCOMPARE(w.Modes(), (Modes{kCapture, 0}));
    }

    void endsWithOkCancelAndDelete() {
        DialogWorld w;
        w.AddGroup(u"Group 0");
        w.AddGroup(u"Group 1");
        {
            auto d = w.Open();
            ClickRow(*d, "macro_group", 1);
            Click(*d, "btnOK");
            QCOMPARE(d->result(), MacroRecordDlg::kResultOk);
            QCOMPARE(w.library.group, 1);
        }
        {
            auto d = w.Open();
            Find<QTabWidget>(*d, "tab_macro_mode_selection")->setCurrentIndex(3);
            Find<QListView>(*d, "macro_group")->clearSelection();
            Click(*d, "btnOK");
            QCOMPARE(w.library.group, 1);  // the function-key tab leaves the group alone
        }
        {
            auto d = w.Open();
            QTest::keyClick(d.get(), Qt::Key_Escape);
            QCOMPARE(d->result(), MacroRecordDlg::kResultCancel);
        }
        {
            auto d = w.Open();
            Click(*d, "btnClose");
            QCOMPARE(d->result(), MacroRecordDlg::kResultCancel);
            QVERIFY(d->isHidden());
        }
        {
            auto d = w.Open();
            Click(*d, "btnDelete");
            QCOMPARE(d->result(), MacroRecordDlg::kResultDelete);
        }
    }

    void groupListAddRenameAndDelete() {
        DialogWorld w;
        auto d = w.Open();
        QVERIFY(d);
        auto* list = Find<QListView>(*d, "macro_group");
        w.library.group = -1;
        Click(*d, "groupAdd");
        QCOMPARE(w.library.groups.size(), std::size_t{1});
        QCOMPARE(w.library.groups[0].name, u"Group 0");
        QCOMPARE(w.library.group, 0);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
        Click(*d, "groupAdd");
        Click(*d, "groupAdd");
        QCOMPARE(w.library.groups[2].name, u"Group 2");

        // In-place renaming: each typed character renames and saves.
        list->edit(list->model()->index(1, 0));
        auto* editor = list->findChild<QLineEdit*>(QStringLiteral("group_name"));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "Mail");
        QCOMPARE(w.library.groups[1].name, u"Mail");
        QVERIFY(w.LibraryFile().find("name=\"Mail\"") != std::string::npos);
        QCOMPARE(editor->text(), QStringLiteral("Mail"));
        QTest::keyClick(editor, Qt::Key_Return);

        // Deleting the first row keeps row 0 selected, now the former second group.
        ClickRow(*d, "macro_group", 0);
        Click(*d, "groupDel");
        QCOMPARE(w.library.groups.size(), std::size_t{2});
        QCOMPARE(w.library.group, 0);
        QCOMPARE(w.library.groups[0].name, u"Mail");
        // Deleting the last row leaves no selection, no group and an empty step list.
        ClickRow(*d, "macro_group", 1);
        Click(*d, "groupDel");
        QCOMPARE(w.library.group, -1);
        QCOMPARE(d->StepAdapter().rowCount(), 0);
    }

    // Export of the selected group and import back: a same-named group with other steps is replaced only
    // when the user says so; otherwise an imported macro is a new group; a bad file changes nothing.
    void groupExportAndImport() {
        DialogWorld w;
        w.AddGroup(u"Mail");
        w.library.groups[0].AppendStep(kA, 1, 10, u"A");
        w.library.groups[0].AppendStep(kA, 0, 20, u"A");
        auto d = w.Open();
        QVERIFY(d);
        ClickRow(*d, "macro_group", 0);
        const QString file = QString::fromStdU16String((w.dir / "mail.xml").u16string());
        w.prompt.PushFile(file);
        Click(*d, "groupExport");
        QVERIFY(QFileInfo(file).isFile());

        w.library.groups[0].steps.pop_back();
        w.prompt.PushFile(file);
        w.prompt.Push(kb::ui::PromptAnswer::No);
        Click(*d, "groupImport");
        QCOMPARE(w.library.groups[0].steps.size(), std::size_t{1});
        w.prompt.PushFile(file);
        w.prompt.Push(kb::ui::PromptAnswer::Yes);
        Click(*d, "groupImport");
        QCOMPARE(w.library.groups[0].steps.size(), std::size_t{2});
        QCOMPARE(d->StepAdapter().rowCount(), 2);  // the shown group's steps, as now stored
        QVERIFY(w.LibraryFile().find("name=\"Mail\"") != std::string::npos);

        w.library.groups[0].name = u"Other";
        w.prompt.PushFile(file);
        Click(*d, "groupImport");
        QCOMPARE(w.library.groups.size(), std::size_t{2});
        QCOMPARE(w.library.groups[1].name, u"Mail");

        std::ofstream(w.dir / "bad.xml") << "<kbstudio version=\"1\"><macro/></kbstudio>";
        const std::size_t asked = w.prompt.AskedSoFar().size();
        w.prompt.PushFile(QString::fromStdU16String((w.dir / "bad.xml").u16string()));
        Click(*d, "groupImport");
        QCOMPARE(w.prompt.AskedSoFar().size(), asked + 2);  // the file, then why it is refused
        QCOMPARE(w.library.groups.size(), std::size_t{2});
    }

    // With no row selected, the delete button must not erase the steps of the group still on show.
    void groupDelWithoutSelectionUnbindsTheStepList() {
        DialogWorld w;
        w.AddGroup(u"Kept", {{kA, 0, 5, u"A"}, {kA, 1, 0, u"A"}});
        auto d = w.Open();
        QVERIFY(d);
        QCOMPARE(d->StepAdapter().rowCount(), 2);
        Find<QListView>(*d, "macro_group")->clearSelection();
        Click(*d, "groupDel");
        QCOMPARE(w.library.groups.size(), std::size_t{1});
        QCOMPARE(w.library.groups[0].steps.size(), std::size_t{2});
        QCOMPARE(w.library.group, -1);
        QCOMPARE(d->StepAdapter().rowCount(), 0);
        QVERIFY(!d->StepAdapter().BoundGroup().has_value());
    }

    // A group added after the selection was lost is selected, and it is the one that shows and records.
    void groupAddedAfterDeletingTheLastIsTheOneThatRecords() {
        DialogWorld w;
        w.AddGroup(u"Old", {{kA, 0, 5, u"A"}});
        auto d = w.Open();
        QVERIFY(d);
        ClickRow(*d, "macro_group", 0);
        Click(*d, "groupDel");
        QCOMPARE(w.library.group, -1);
        Click(*d, "groupAdd");
        QCOMPARE(w.library.group, 0);
        QVERIFY(d->StepAdapter().BoundGroup() == std::optional<uint32_t>(0));
        Click(*d, "chk_macro_record");
        QVERIFY(d->RecordingActive());
        w.Key(kB, true, 100);
        w.Key(kB, false, 130);
        QCOMPARE(w.library.groups[0].steps.size(), std::size_t{2});
        QCOMPARE(d->StepAdapter().rowCount(), 2);
    }

    // Keyboard alone: the arrows move in the step list, F2 edits a delay, "-20" typed over it is -20,
    // and Tab leaves the list (from a cell too) for the controls after it.
    void stepListByKeyboard() {
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kA, 0, 10, u"A"}, {kA, 1, 30, u"A"}});
        auto d = w.Open();
        QVERIFY(d);
        QWidget* window = d->window();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* table = Find<QTableView>(*d, "key_info");
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 0));
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}) {
            QTest::keyClick(table, key);
        }
        QCOMPARE(table->currentIndex(), table->model()->index(1, 3));
        QTest::keyClick(table, Qt::Key_F2);
        auto* cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(cell != nullptr && cell->objectName() == QStringLiteral("key_delay"));
        QTest::keyClick(cell, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(cell, "-20");
        QCOMPARE(w.library.groups[0].steps[1].delay, -20);

        QTest::keyClick(cell, Qt::Key_Tab);
        QWidget* after = QApplication::focusWidget();
        QVERIFY(after != nullptr && after != table && !table->isAncestorOf(after));
        QCOMPARE(w.library.groups[0].steps[1].delay, -20);
        QTest::keyClick(after, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), table);
        QTest::keyClick(table, Qt::Key_Tab);  // not editing: the same
        QCOMPARE(QApplication::focusWidget(), after);
    }

    void stepListMovesDeletesAndEdits() {
        DialogWorld w;
        w.AddGroup(u"Group 0", {{kA, 0, 10, u"A"}, {kB, 2, 20, u"B"}, {kS, 1, 30, u"S"}});
        auto d = w.Open();
        QVERIFY(d);
        auto& steps = w.library.groups[0].steps;
        auto* table = Find<QTableView>(*d, "key_info");
        KeyAndDelayAdapter& model = d->StepAdapter();
        QCOMPARE(model.data(model.index(1, 2), Qt::DisplayRole).toString(),
                 kb::ui::Tr(QStringLiteral("replace")));
        QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("30"));

        ClickRow(*d, "key_info", 2);
        Click(*d, "item_up");
        QCOMPARE(steps[1].code, kS);
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), 1);
        Click(*d, "item_down");
        QCOMPARE(steps[2].code, kS);
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), 2);
        Click(*d, "item_down");  // already last: nothing moves
        QCOMPARE(steps[2].code, kS);
        ClickRow(*d, "key_info", 0);
        Click(*d, "item_delete");
        QCOMPARE(steps.size(), std::size_t{2});
        QCOMPARE(steps[0].code, kB);

        // Delay cells: a number (even "12ms") is stored, a blank is 0, other text puts the old value back.
        table->edit(model.index(0, 3));
        auto* cell = table->findChild<QLineEdit*>(QStringLiteral("key_delay"));
        QVERIFY(cell);
        cell->selectAll();
        QTest::keyClicks(cell, "12ms");
        QCOMPARE(steps[0].delay, 12);
        QCOMPARE(cell->text(), QStringLiteral("12ms"));
        cell->selectAll();
        QTest::keyClick(cell, Qt::Key_Delete);
        QCOMPARE(steps[0].delay, 0);
        QCOMPARE(cell->text(), QString());
        QTest::keyClicks(cell, "20");
        QTest::keyClick(cell, Qt::Key_Home);
        QTest::keyClick(cell, Qt::Key_Minus);
        QCOMPARE(steps[0].delay, -20);
        // Typed over the old value: the sign alone is a number not finished yet, so it stays and stores
        // nothing (putting -20 back would end as "-205").
        cell->selectAll();
        QTest::keyClicks(cell, "-");
        QCOMPARE(cell->text(), QStringLiteral("-"));
        QCOMPARE(steps[0].delay, -20);
        QTest::keyClicks(cell, "5");
        QCOMPARE(steps[0].delay, -5);
        cell->selectAll();
        QTest::keyClicks(cell, "+7");
        QCOMPARE(steps[0].delay, 7);
        cell->selectAll();
        QTest::keyClicks(cell, "a");
        QCOMPARE(steps[0].delay, 7);
        QCOMPARE(cell->text(), QStringLiteral("7"));
        QTest::keyClick(cell, Qt::Key_Escape);
        QVERIFY(d->isVisible());  // Escape in the cell only ends the edit

        // Header clicks show marks, never reorder.
        QHeaderView* header = table->horizontalHeader();
        const auto before = steps;
        std::vector<int> marks;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
            marks.push_back(model.SortMark(1));
            QCOMPARE(header->sortIndicatorSection(), 1);
            QCOMPARE(header->sortIndicatorOrder(), i == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
        }
        QCOMPARE(marks, (std::vector<int>{kb::kSortUp, kb::kSortDown, kb::kSortUp}));
        QCOMPARE(steps, before);

        Click(*d, "item_clear");
        QVERIFY(steps.empty());
        QCOMPARE(model.rowCount(), 0);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    {
        TestMacroDialog dialog;
        failures += QTest::qExec(&dialog, argc, argv);
    }
    failures += RunAssignPageTests(argc, argv);
    return failures;
}

#include "tst_macro_dialog.moc"
