// The window's profiles: the list and its buttons, the tray's entries, import and export, and the window
// following a switch made by another process, over the real profile store in a scratch folder.
#include <QAbstractButton>
#include <QComboBox>
#include <QMenu>
#include <QtTest>

#include "AppHarness.h"
#include "kb/device/VirtualFilter.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/profiles/ProfileStore.h"
#include "kb/widgets/SShellNotifyIcon.h"

using apptest::AppHarness;
using apptest::EffectFile;
using kb::ui::PromptAnswer;

namespace {

kb::KeyRecord Assigned(uint32_t code, const char16_t* name) {
    kb::KeyRecord record;
    record.code = code;
    record.kind = record.mode = 1;
    record.parameter = 48;
    record.keyName = name;
    return record;
}

std::filesystem::path Folder(const AppHarness& app) {
    return std::filesystem::path(app.dir.path().toStdU16String());
}

// Profile "A" active with key 30 assigned and effect 5; "B" stored with key 31 and effect 3.
kb::app::CMainDlg& StartWithTwoProfiles(AppHarness& app) {
    app.WriteFile(QStringLiteral("record.bin"), kb::EncodeRecordFile({Assigned(30, u"A")}));
    app.WriteFile(QStringLiteral("ledeffect.xml"), EffectFile(5));
    app.WriteFile(QStringLiteral("sidemodel.xml"), R"(<effect sel="9"/>)");
    app.LoadSettings();
    kb::ProfileStore store(Folder(app));
    if (!store.Open() || !store.Rename("Default", "A")) {
        qFatal("profile A");
    }
    kb::ProfileFiles b;
    b.bytes = {kb::EncodeRecordFile({Assigned(31, u"S")}), EffectFile(3),
               std::string(R"(<effect sel="2"/>)")};
    if (!store.Install("B", b, false)) {
        qFatal("profile B");
    }
    app.withProfiles = true;
    return app.Start();
}

bool Marked(kb::app::CMainDlg& dlg, int32_t code) {
    KeyButton key;
    return dlg.Picture()->GetButton(code, key) && key.marked;
}

void Click(AppHarness& app, const char* name) {
    qobject_cast<QAbstractButton*>(app.Find(name))->click();
}

}  // namespace

class ProfilesTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { apptest::InitAppTests(); }

    // Another process switches: the window shows, sends and reloads the new profile, and a later change
    // in the window is saved into the new profile, never the old one's records over it.
    void followsASwitchMadeElsewhere() {
        AppHarness app;
        kb::app::CMainDlg& dlg = StartWithTwoProfiles(app);
        auto* list = apptest::Get<QComboBox>(app, "cbx_in_lv");
        QCOMPARE(list->currentText(), QStringLiteral("A"));
        QVERIFY(Marked(dlg, 30));
        auto& filter = kb::KbFiltrDevice::VirtualFilter::Instance();
        const int reloads = filter.ReloadCount();
        app.ClearReports();

        kb::ProfileStore other(Folder(app));
        QVERIFY(other.Switch("B"));

        QTRY_COMPARE(dlg.Profiles()->Active(), QStringLiteral("B"));
        QCOMPARE(list->currentText(), QStringLiteral("B"));
        QCOMPARE(kb::KeyRecordTable::Instance().Records().size(), std::size_t{1});
        QCOMPARE(kb::KeyRecordTable::Instance().Records().front().code, 31u);
        QVERIFY(!Marked(dlg, 30));
        QVERIFY(Marked(dlg, 31));
        KeyButton old;
        QVERIFY(dlg.Picture()->GetButton(30, old));
        QCOMPARE(old.label, old.name);
        QCOMPARE(kb::LedEffectConfig::Instance().GetSel(), 3);
        QCOMPARE(apptest::Get<QComboBox>(app, "cbx_color_effect")->currentIndex(), 3);
        QVERIFY(!app.FeatureReportsSent().empty());  // the new lighting went to the keyboard
        QCOMPARE(filter.ReloadCount(), reloads + 1);

        // The user changes the lighting now: saved into B's live files; A's records stay A's.
        apptest::Get<QComboBox>(app, "cbx_color_effect")->setCurrentIndex(7);
        std::string error;
        QVERIFY(other.Open());
        QCOMPARE(other.Active(), std::string("B"));
        const auto b = other.Read("B", error);
        QVERIFY(b);
        QCOMPARE(*b->bytes[0], kb::EncodeRecordFile({Assigned(31, u"S")}));
        QVERIFY(other.Switch("A"));
        QTRY_COMPARE(dlg.Profiles()->Active(), QStringLiteral("A"));
        QCOMPARE(app.ReadFile(QStringLiteral("record.bin")), kb::EncodeRecordFile({Assigned(30, u"A")}));
        QVERIFY(Marked(dlg, 30));
        QVERIFY(!Marked(dlg, 31));
        QCOMPARE(kb::LedEffectConfig::Instance().GetSel(), 5);
        const auto bAfter = other.Read("B", error);
        QVERIFY(bAfter && bAfter->bytes[1]->find("sel=\"7\"") != std::string::npos);
    }

    // New (asks the name; bad names refused with the store's reason), switching from the list and from
    // the tray, rename, and delete (asks first; never the active one).
    void manageFromTheWindow() {
        AppHarness app;
        kb::app::CMainDlg& dlg = StartWithTwoProfiles(app);
        kb::app::ProfilePage& page = *dlg.Profiles();
        auto* list = apptest::Get<QComboBox>(app, "cbx_in_lv");
        QVERIFY(list->isEnabled());

        app.prompt.PushText(QStringLiteral("a/b"));
        Click(app, "btn_profile_add");
        QVERIFY(app.prompt.AskedSoFar().back().text.contains(QStringLiteral("/")));
        app.prompt.PushText(QStringLiteral("Gaming"));
        Click(app, "btn_profile_add");
        QCOMPARE(page.Names(), (QStringList{"A", "B", "Gaming"}));
        QCOMPARE(list->count(), 3);
        QCOMPARE(page.Active(), QStringLiteral("A"));  // a new profile is a copy; the active one stays

        auto& filter = kb::KbFiltrDevice::VirtualFilter::Instance();
        const int reloads = filter.ReloadCount();
        app.ClearReports();
        list->setCurrentIndex(1);  // B
        QCOMPARE(page.Active(), QStringLiteral("B"));
        QVERIFY(Marked(dlg, 31));
        QVERIFY(!app.FeatureReportsSent().empty());
        QCOMPARE(filter.ReloadCount(), reloads + 1);

        auto* tray = apptest::Get<SShellNotifyIcon>(app, "tray_icon");
        std::unique_ptr<QMenu> menu = tray->BuildTrayMenu();
        QVERIFY(menu);
        QAction* gaming = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == QStringLiteral("Gaming")) {
                gaming = action;
            }
            if (action->text() == QStringLiteral("B")) {
                QVERIFY(action->isChecked());
            }
        }
        QVERIFY(gaming != nullptr);
        gaming->trigger();
        QCOMPARE(page.Active(), QStringLiteral("Gaming"));
        QVERIFY(Marked(dlg, 30));  // Gaming is a copy of A
        QCOMPARE(list->currentText(), QStringLiteral("Gaming"));

        app.prompt.PushText(QStringLiteral("Work"));
        Click(app, "btn_profile_rename");
        QCOMPARE(page.Active(), QStringLiteral("Work"));
        QCOMPARE(page.Names(), (QStringList{"A", "B", "Work"}));

        app.prompt.PushText(QStringLiteral("B"));
        app.prompt.Push(PromptAnswer::No);
        Click(app, "btn_profile_delete");
        QCOMPARE(app.prompt.LastChoices(), (QStringList{"A", "B"}));  // never the active one
        QCOMPARE(page.Names().size(), 3);
        app.prompt.PushText(QStringLiteral("B"));
        app.prompt.Push(PromptAnswer::Yes);
        Click(app, "btn_profile_delete");
        QCOMPARE(page.Names(), (QStringList{"A", "Work"}));
        QVERIFY(!std::filesystem::exists(Folder(app) / "profiles" / "B"));
    }

    // Export, then import: a clash asks before replacing; a file that is not a profile changes nothing.
    void importAndExport() {
        AppHarness app;
        kb::app::CMainDlg& dlg = StartWithTwoProfiles(app);
        kb::app::ProfilePage& page = *dlg.Profiles();
        const QString file = app.dir.filePath(QStringLiteral("shared.xml"));
        app.prompt.PushFile(file);
        Click(app, "btn_profile_export");
        QVERIFY(QFileInfo(file).isFile());

        app.prompt.PushFile(file);
        app.prompt.Push(PromptAnswer::No);
        Click(app, "btn_profile_import");
        QVERIFY(app.prompt.AskedSoFar().back().text.contains(QStringLiteral("\"A\"")));

        // Switch to B, import A's file over A, delete A, import it again: A comes back whole.
        apptest::Get<QComboBox>(app, "cbx_in_lv")->setCurrentIndex(1);
        QCOMPARE(page.Active(), QStringLiteral("B"));
        std::string error;
        kb::ProfileStore store(Folder(app));
        QVERIFY(store.Open());
        const auto before = store.Read("A", error);
        app.prompt.PushText(QStringLiteral("A"));
        app.prompt.Push(PromptAnswer::Yes);
        Click(app, "btn_profile_delete");
        QCOMPARE(page.Names(), (QStringList{"B"}));
        app.prompt.PushFile(file);
        Click(app, "btn_profile_import");
        QCOMPARE(page.Names(), (QStringList{"A", "B"}));
        QCOMPARE(store.Read("A", error), before);

        app.WriteFile(QStringLiteral("bad.xml"), "<kbstudio version=\"99\"/>");
        const std::size_t asked = app.prompt.AskedSoFar().size();
        app.prompt.PushFile(app.dir.filePath(QStringLiteral("bad.xml")));
        Click(app, "btn_profile_import");
        QCOMPARE(app.prompt.AskedSoFar().size(), asked + 2);  // the file, then why it is refused
        QCOMPARE(page.Names(), (QStringList{"A", "B"}));
        QCOMPARE(page.Active(), QStringLiteral("B"));
    }
};

QTEST_MAIN(ProfilesTest)
#include "tst_app_profiles.moc"
