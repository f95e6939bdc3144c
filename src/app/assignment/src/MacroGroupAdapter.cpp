#include "kb/assignment/MacroGroupAdapter.h"

#include <QLineEdit>

#include "RowRefresh.h"

namespace kb::assignment {

MacroGroupAdapter::MacroGroupAdapter(kb::MacroLibrary& library, QObject* parent)
    : QAbstractListModel(parent), library_(library), rows_(static_cast<int>(library.groups.size())) {}

int MacroGroupAdapter::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant MacroGroupAdapter::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const kb::MacroGroup* group = library_.GroupAt(index.row());
    return group != nullptr ? QVariant(QString::fromStdU16String(group->name)) : QVariant();
}

Qt::ItemFlags MacroGroupAdapter::flags(const QModelIndex& index) const {
    return index.isValid() ? (QAbstractListModel::flags(index) | Qt::ItemIsEditable) : Qt::NoItemFlags;
}

bool MacroGroupAdapter::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() < 0) {
        return false;
    }
    if (!library_.RenameGroup(static_cast<uint32_t>(index.row()), value.toString().toStdU16String())) {
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void MacroGroupAdapter::RemoveAndRefresh(uint32_t row) {
    (void)library_.RemoveGroup(row);  // a failed save keeps the removal in memory; the next save retries
    Refresh();
}

void MacroGroupAdapter::Refresh() {
    RefreshRows(*this, rows_, static_cast<int>(library_.groups.size()), 1);
}

QWidget* GroupNameDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                         const QModelIndex& /*index*/) const {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("group_name"));
    edit->setFrame(false);
    edit->setProperty("role", QStringLiteral("cell"));
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit] { emit const_cast<GroupNameDelegate*>(this)->commitData(edit); });
    return edit;
}

void GroupNameDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    const QString name = index.data(Qt::EditRole).toString();
    // Rewriting the same text would move the caret to the end while the user types.
    if (edit != nullptr && edit->text() != name) {
        edit->setText(name);
    }
}

void GroupNameDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, edit->text(), Qt::EditRole);
    }
}

}  // namespace kb::assignment
