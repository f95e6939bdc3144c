// The assignment dialog's sharing of macros: a group exported to a file of its own, and the macros of a
// shared file imported as groups (a same-named group with other steps is replaced only when the user says
// so).
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QSaveFile>
#include <QTableView>

#include "kb/assignment/MacroRecordDlg.h"
#include "kb/profiles/Sharing.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Translator.h"

namespace kb::assignment {
namespace {

QString MacroFilter() {
    return kb::ui::Tr(QStringLiteral("Shared files (*.xml);;All files (*)"));
}

}  // namespace

void MacroRecordDlg::OnGroupExport() {
    const MacroGroup* group = library_.GroupAt(SelectedGroupRow());
    if (SelectedGroupRow() < 0 || group == nullptr) {
        return;
    }
    const QString name = QString::fromStdU16String(group->name);
    const QString path = prompt_.AskFile(this, kb::ui::Tr(QStringLiteral("Export macro")), true,
                                         name + QStringLiteral(".xml"), MacroFilter());
    if (path.isEmpty()) {
        return;
    }
    const std::string out = WriteSharedMacro(*group);
    QSaveFile file(path);  // whole or not at all
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size()) ||
        !file.commit()) {
        prompt_.Ask(this,
                    kb::ui::Tr(QStringLiteral("The file cannot be written: %1")).arg(file.errorString()),
                    kb::ui::Tr(QStringLiteral("Export macro")), kb::ui::PromptButtons::Ok);
    }
}

void MacroRecordDlg::OnGroupImport() {
    const QString caption = kb::ui::Tr(QStringLiteral("Import macro"));
    const QString path = prompt_.AskFile(this, caption, false, QString(), MacroFilter());
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    // Only regular files: a FIFO would block the dialog.
    if (!QFileInfo(path).isFile() || file.size() > static_cast<qint64>(kMaxShareFileBytes) ||
        !file.open(QIODevice::ReadOnly)) {
        prompt_.Ask(this, kb::ui::Tr(QStringLiteral("The file cannot be read.")), caption,
                    kb::ui::PromptButtons::Ok);
        return;
    }
    const SharedFileReadResult read = ReadSharedFile(file.readAll().toStdString());
    if (!read.ok || read.file.macros.empty()) {
        prompt_.Ask(this,
                    read.ok ? kb::ui::Tr(QStringLiteral("The file holds no macro."))
                            : QString::fromStdString(read.error),
                    caption, kb::ui::PromptButtons::Ok);
        return;
    }
    if (const std::string conflict = CheckMacroConflicts(library_, read.file.macros, false);
        !conflict.empty()) {
        if (prompt_.Ask(this,
                        QString::fromStdString(conflict) + QStringLiteral("\n") +
                            kb::ui::Tr(QStringLiteral("Replace the macros of the same names?")),
                        caption, kb::ui::PromptButtons::YesNo) != kb::ui::PromptAnswer::Yes) {
            return;
        }
    }
    const int selected = SelectedGroupRow();
    ChangeRows(groupList_, [this, &read] {
        MergeMacros(library_, read.file.macros);
        groups_.Refresh();
    });
    if (selected >= 0) {
        ChangeRows(stepList_, [this] { steps_.Refresh(); });  // the shown group's steps may be replaced
    }
    SaveLibrary();
}

}  // namespace kb::assignment
