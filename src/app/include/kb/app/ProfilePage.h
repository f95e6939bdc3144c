// The profile list beside the device card, its buttons (new, rename, delete, import, export) and the
// profiles in the tray menu. The settings folder is watched: a switch made elsewhere (kbctl) is followed
// at once, so the window never writes one profile's state over another's.
#pragma once

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "kb/profiles/ProfileStore.h"

class QComboBox;
class QFileSystemWatcher;
class QMenu;
class QWidget;

namespace kb {
class MacroLibrary;
namespace ui {
class EventBridge;
class EventTable;
class IPrompt;
}  // namespace ui
}  // namespace kb

namespace kb::app {

class ProfilePage : public QObject {
  public:
    struct Services {
        std::filesystem::path dataFolder;
        kb::ui::IPrompt& prompt;
        MacroLibrary& library;
        QWidget* owner;
        // The settings folder's files now hold another profile (or other contents): read them again,
        // show them, send the lighting and reload the filter.
        std::function<void()> reloadLive;
    };

    explicit ProfilePage(Services services);
    ~ProfilePage() override;

    ProfilePage(const ProfilePage&) = delete;
    ProfilePage& operator=(const ProfilePage&) = delete;

    void AddEvents(kb::ui::EventTable& table);
    void FindWidgets(QWidget* root, kb::ui::EventBridge& bridge);
    // Opens the store, fills the list and starts watching the folder.
    void Start();

    // Each asks what it needs through the prompt; false when nothing changed.
    bool SwitchTo(const QString& name);
    bool AddProfile();
    bool RenameActive();
    bool DeleteProfile();
    bool ImportProfile();
    bool ExportActive();

    // The profiles as checkable entries (the active one checked) that switch when chosen.
    void FillMenu(QMenu& menu);
    // Looks at the folder again: the list, and a reload when the active profile's files changed.
    void CheckFolder();

    QStringList Names() const;
    QString Active() const;

  private:
    void ShowList();
    void Watch();
    void Refuse(const std::string& message);
    // Runs one change of the store with the watcher's own events ignored, says why when it is refused,
    // then shows the list and watches again; `done` runs only when the change was made.
    bool ApplyChange(const std::function<kb::ProfileResult()>& change,
                     const std::function<void()>& done = {});
    // The live files as they are now; remembered as what the window shows.
    void RememberLive();

    Services s_;
    ProfileStore store_;
    QComboBox* list_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    std::string shownActive_;
    std::optional<ProfileFiles> shownFiles_;
    bool busy_ = false;  // our own change is under way: the watcher's events wait for its end
};

}  // namespace kb::app
