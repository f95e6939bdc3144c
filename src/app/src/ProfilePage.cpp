#include "kb/app/ProfilePage.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QWidget>

#include "kb/common/Trace.h"
#include "kb/macros/MacroLibrary.h"
#include "kb/profiles/Sharing.h"
#include "kb/ui/Events.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Translator.h"

namespace kb::app {
namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

QString ShareFilter() {
    return kb::ui::Tr(QStringLiteral("Shared files (*.xml);;All files (*)"));
}

// A whole file, or nullopt: only regular files (a FIFO would block the window) within the size the
// reader accepts.
std::optional<std::string> ReadRegularFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > static_cast<qint64>(kMaxShareFileBytes) ||
        !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll().toStdString();
}

}  // namespace

ProfilePage::ProfilePage(Services services) : s_(std::move(services)), store_(s_.dataFolder) {}

ProfilePage::~ProfilePage() = default;

void ProfilePage::AddEvents(kb::ui::EventTable& table) {
    const QString command = QString::fromUtf16(kb::ui::kEventCommand);
    table.OnName(command, QStringLiteral("btn_profile_add"), [this](const auto&) { AddProfile(); })
        .OnName(command, QStringLiteral("btn_profile_rename"), [this](const auto&) { RenameActive(); })
        .OnName(command, QStringLiteral("btn_profile_delete"), [this](const auto&) { DeleteProfile(); })
        .OnName(command, QStringLiteral("btn_profile_import"), [this](const auto&) { ImportProfile(); })
        .OnName(command, QStringLiteral("btn_profile_export"), [this](const auto&) { ExportActive(); });
}

void ProfilePage::FindWidgets(QWidget* root, kb::ui::EventBridge& bridge) {
    list_ = kb::ui::FindByName<QComboBox>(root, u"cbx_in_lv", u"combobox");
    if (list_ == nullptr) {
        return;
    }
    list_->setEnabled(true);
    list_->setFocusPolicy(Qt::StrongFocus);
    bridge.Subscribe(list_, QString::fromUtf16(kb::ui::kEventComboSelChange),
                     [this](const kb::ui::WidgetEvent&) {
                         if (list_->currentIndex() >= 0) {
                             SwitchTo(list_->currentText());
                         }
                         return true;
                     });
}

void ProfilePage::Start() {
    if (const ProfileResult opened = store_.Open(); !opened) {
        Trace("kbstudio: profiles: %s\n", opened.error.c_str());
    }
    RememberLive();
    ShowList();
    Watch();
}

QStringList ProfilePage::Names() const {
    QStringList names;
    for (const std::string& name : store_.Names()) {
        names << Q(name);
    }
    return names;
}

QString ProfilePage::Active() const {
    return Q(store_.Active());
}

void ProfilePage::ShowList() {
    if (list_ == nullptr) {
        return;
    }
    const QSignalBlocker quiet(list_);  // filling the list is no choice of the user's
    list_->clear();
    list_->addItems(Names());
    list_->setCurrentIndex(static_cast<int>(Names().indexOf(Active())));
}

void ProfilePage::Watch() {
    if (watcher_ == nullptr) {
        watcher_ = new QFileSystemWatcher(this);
        QObject::connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { CheckFolder(); });
        QObject::connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { CheckFolder(); });
    }
    // An atomic rename replaces the marker file, and the watcher forgets a path whose file went away.
    const QString folder = QString::fromStdU16String(store_.ProfilesFolder().u16string());
    const QString marker = QString::fromStdU16String(store_.MarkerFile().u16string());
    for (const QString& path : {folder, marker}) {
        if (!watcher_->files().contains(path) && !watcher_->directories().contains(path) &&
            QFile::exists(path)) {
            watcher_->addPath(path);
        }
    }
}

void ProfilePage::RememberLive() {
    std::string error;
    shownActive_ = store_.Active();
    shownFiles_ = store_.Read(shownActive_, error);
}

void ProfilePage::CheckFolder() {
    Watch();
    if (busy_) {
        return;
    }
    if (const ProfileResult opened = store_.Open(); !opened) {
        Trace("kbstudio: profiles: %s\n", opened.error.c_str());
        return;
    }
    std::string error;
    const std::optional<ProfileFiles> live = store_.Read(store_.Active(), error);
    // Another active profile, or the active one's files replaced (an import): what the window holds in
    // memory is stale and must not be saved over the new files.
    if (store_.Active() != shownActive_ || live != shownFiles_) {
        shownActive_ = store_.Active();
        shownFiles_ = live;
        if (s_.reloadLive) {
            s_.reloadLive();
        }
    }
    ShowList();
}

void ProfilePage::Refuse(const std::string& message) {
    s_.prompt.Ask(s_.owner, Q(message), kb::ui::Tr(QStringLiteral("Profiles")), kb::ui::PromptButtons::Ok);
}

bool ProfilePage::SwitchTo(const QString& name) {
    if (S(name) == store_.Active()) {
        return false;
    }
    busy_ = true;
    const ProfileResult result = store_.Switch(S(name));
    busy_ = false;
    if (!result) {
        Refuse(result.error);
    }
    if (result.liveChanged || store_.Active() != shownActive_) {
        RememberLive();
        if (s_.reloadLive) {
            s_.reloadLive();
        }
    }
    ShowList();
    Watch();
    return result.ok;
}

bool ProfilePage::AddProfile() {
    const std::optional<QString> name = s_.prompt.AskText(
        s_.owner, kb::ui::Tr(QStringLiteral("Name of the new profile (a copy of the active one):")),
        kb::ui::Tr(QStringLiteral("New profile")), QString());
    if (!name) {
        return false;
    }
    return ApplyChange([&] { return store_.Create(S(*name)); });
}

bool ProfilePage::ApplyChange(const std::function<ProfileResult()>& change,
                              const std::function<void()>& done) {
    busy_ = true;
    const ProfileResult result = change();
    busy_ = false;
    if (!result) {
        Refuse(result.error);
    } else if (done) {
        done();
    }
    ShowList();
    Watch();
    return result.ok;
}

bool ProfilePage::RenameActive() {
    const QString from = Active();
    const std::optional<QString> name =
        s_.prompt.AskText(s_.owner, kb::ui::Tr(QStringLiteral("New name of the profile \"%1\":")).arg(from),
                          kb::ui::Tr(QStringLiteral("Rename profile")), from);
    if (!name || *name == from) {
        return false;
    }
    // The same files under a new name: nothing to reload.
    return ApplyChange([&] { return store_.Rename(S(from), S(*name)); },
                       [this] { shownActive_ = store_.Active(); });
}

bool ProfilePage::DeleteProfile() {
    QStringList others = Names();
    others.removeAll(Active());
    if (others.isEmpty()) {
        Refuse(S(kb::ui::Tr(QStringLiteral("The active profile is the only one; it cannot be deleted."))));
        return false;
    }
    const std::optional<QString> name =
        s_.prompt.AskText(s_.owner, kb::ui::Tr(QStringLiteral("Profile to delete (the active one stays):")),
                          kb::ui::Tr(QStringLiteral("Delete profile")), others.front(), others);
    if (!name || !others.contains(*name)) {
        return false;
    }
    if (s_.prompt.Ask(
            s_.owner,
            kb::ui::Tr(QStringLiteral("Delete the profile \"%1\"? This cannot be undone.")).arg(*name),
            kb::ui::Tr(QStringLiteral("Delete profile")),
            kb::ui::PromptButtons::YesNo) != kb::ui::PromptAnswer::Yes) {
        return false;
    }
    return ApplyChange([&] { return store_.Remove(S(*name)); });
}

bool ProfilePage::ExportActive() {
    const QString name = Active();
    const QString path = s_.prompt.AskFile(s_.owner, kb::ui::Tr(QStringLiteral("Export profile")), true,
                                           name + QStringLiteral(".xml"), ShareFilter());
    if (path.isEmpty()) {
        return false;
    }
    std::string error;
    const std::optional<ProfileFiles> files = store_.Read(S(name), error);
    std::string out;
    if (!files || !WriteSharedProfile(S(name), *files, s_.library, out, error)) {
        Refuse(error);
        return false;
    }
    // Written whole or not at all: an export never leaves half a file where an older one was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size()) ||
        !file.commit()) {
        Refuse(S(kb::ui::Tr(QStringLiteral("The file cannot be written: %1")).arg(file.errorString())));
        return false;
    }
    return true;
}

bool ProfilePage::ImportProfile() {
    const QString path = s_.prompt.AskFile(s_.owner, kb::ui::Tr(QStringLiteral("Import profile")), false,
                                           QString(), ShareFilter());
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<std::string> bytes = ReadRegularFile(path);
    if (!bytes) {
        Refuse(S(kb::ui::Tr(QStringLiteral("The file cannot be read."))));
        return false;
    }
    const SharedFileReadResult read = ReadSharedFile(*bytes);
    if (!read.ok || !read.file.profile) {
        Refuse(read.ok ? S(kb::ui::Tr(QStringLiteral("The file holds no profile."))) : read.error);
        return false;
    }
    const SharedProfile& profile = *read.file.profile;
    std::string name = profile.name;
    bool replace = false;
    if (const std::optional<std::string> existing = store_.Find(name)) {
        if (s_.prompt.Ask(
                s_.owner,
                kb::ui::Tr(QStringLiteral("A profile named \"%1\" exists. Replace it?")).arg(Q(*existing)),
                kb::ui::Tr(QStringLiteral("Import profile")),
                kb::ui::PromptButtons::YesNo) != kb::ui::PromptAnswer::Yes) {
            return false;
        }
        name = *existing;
        replace = true;
    }
    if (const std::string conflict = CheckMacroConflicts(s_.library, read.file.macros, false);
        !conflict.empty()) {
        if (s_.prompt.Ask(s_.owner,
                          Q(conflict) + QStringLiteral("\n") +
                              kb::ui::Tr(QStringLiteral("Replace the macros of the same names?")),
                          kb::ui::Tr(QStringLiteral("Import profile")),
                          kb::ui::PromptButtons::YesNo) != kb::ui::PromptAnswer::Yes) {
            return false;
        }
    }
    busy_ = true;
    const ProfileResult result = store_.Install(name, profile.ToFiles(), replace);
    busy_ = false;
    if (!result) {
        Refuse(result.error);
        ShowList();
        return false;
    }
    if (MergeMacros(s_.library, read.file.macros) > 0 && !s_.library.Save()) {
        Trace("kbstudio: the imported macros could not be saved\n");
    }
    if (result.liveChanged) {
        RememberLive();
        if (s_.reloadLive) {
            s_.reloadLive();
        }
    }
    ShowList();
    Watch();
    return true;
}

void ProfilePage::FillMenu(QMenu& menu) {
    auto* group = new QActionGroup(&menu);
    const QStringList names = Names();
    for (const QString& name : names) {
        QAction* action = menu.addAction(name);
        action->setCheckable(true);
        action->setChecked(name == Active());
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, this, [this, name] { SwitchTo(name); });
    }
}

}  // namespace kb::app
