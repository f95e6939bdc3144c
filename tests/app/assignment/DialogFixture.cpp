#include "DialogFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QTest>
#include <filesystem>

#include "kb/ui/Package.h"

namespace kbtest {

namespace {
constexpr const char* kConfig = R"(<?xml version="1.0" encoding="utf-8"?>
<local language="en"/>
<funkey>
	<item name="Volume up" code="65584"/>
	<item name="Mute" code="65568"/>
</funkey>
<combkey>
	<item name="Copy" code="29:10, 46:20"/>
	<item name="Nothing" code=""/>
</combkey>
)";
}  // namespace

void UsePackage() {
    kb::ui::SetProgramFolder(QStringLiteral(KB_PROGRAM_DIR));
    kb::ui::SetPackageFolder(QStringLiteral(KB_PROGRAM_DIR "/uires"));
}

DialogWorld::DialogWorld(kb::KbFiltrDevice::VirtualFilter* external)
    : ownFilter(external == nullptr ? std::make_unique<kb::KbFiltrDevice::VirtualFilter>() : nullptr),
      filter(external != nullptr ? external : ownFilter.get()),
      channel([this] { return filter->Open(); }) {
    UsePackage();
    (void)library.Load(dir / "macro.xml");
    (void)records.LoadRecords(dir / "record.bin");
    (void)config.LoadFromBuffer(kConfig);
    std::vector<KeyButton> keys;
    int x = 0;
    for (const auto& [code, name] : {std::pair{kA, "A"}, std::pair{kB, "B"}, std::pair{kS, "S"}}) {
        KeyButton key;
        key.code = static_cast<int32_t>(code);
        key.name = QString::fromLatin1(name);
        key.left = x;
        key.right = x + 10;
        key.bottom = 10;
        keys.push_back(key);
        x += 10;
    }
    picture.SetKeys(std::move(keys));
    channel.OpenChannel();
}

std::unique_ptr<MacroRecordDlg> DialogWorld::Open(MacroRecordDlg::TargetKeys keys) {
    targets = keys.empty() ? MacroRecordDlg::TargetKeys{{kA, u"A"}} : std::move(keys);
    auto dialog = std::make_unique<MacroRecordDlg>(channel, library, &picture, targets, config, prompt);
    dialog->SetClock([this] {
        ++handled;
        return now;
    });
    if (!dialog->Create()) {
        return nullptr;
    }
    dialog->show();
    return dialog;
}

KeyAssignmentPage& DialogWorld::Page() {
    if (!page) {
        page = std::make_unique<KeyAssignmentPage>(KeyAssignmentPage::Services{
            [] { return true; }, channel, &picture, library, records, config, prompt, nullptr});
    }
    return *page;
}

std::vector<uint32_t> DialogWorld::Modes() const {
    std::vector<uint32_t> modes;
    for (const auto& request : filter->Requests()) {
        if (request.code == kb::filterwire::kSetMode && request.input.size() == 4) {
            modes.push_back(kb::filterwire::GetU32(request.input.data()));
        }
    }
    return modes;
}

void DialogWorld::Key(uint32_t code, bool pressed, int64_t at) {
    now = at;
    const int before = handled;
    if (pressed) {
        filter->PressKey(code);
    } else {
        filter->ReleaseKey(code);
    }
    // The clock is read once per recorded event; wait for that, not for a time.
    QTRY_VERIFY_WITH_TIMEOUT(handled > before, 5000);
}

std::string DialogWorld::LibraryFile() const {
    return ReadFile(dir / "macro.xml");
}

std::string DialogWorld::RecordFile() const {
    return std::filesystem::exists(dir / "record.bin") ? ReadFile(dir / "record.bin") : std::string();
}

bool DialogWorld::LibraryFileExists() const {
    return std::filesystem::exists(dir / "macro.xml");
}

void DialogWorld::AddGroup(const std::u16string& name, std::vector<kb::MacroStep> steps) {
    kb::MacroGroup group;
    group.name = name;
    group.steps = std::move(steps);
    library.groups.push_back(std::move(group));
}

void Click(const MacroRecordDlg& dialog, const char* name) {
    auto* button = Find<QAbstractButton>(dialog, name);
    QVERIFY2(button != nullptr, name);
    button->click();
}

void ClickRow(const MacroRecordDlg& dialog, const char* list, int row) {
    auto* view = Find<QAbstractItemView>(dialog, list);
    QVERIFY2(view != nullptr, list);
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

}  // namespace kbtest
