// The group list of the assignment dialog: one row per macro group of the library, the name editable in
// place (every changed character renames the group and saves the library). The dialog handles the clicks;
// the adapter only answers the views.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <cstdint>
#include <string>

#include "kb/macros/MacroLibrary.h"

namespace kb::assignment {

class MacroGroupAdapter : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit MacroGroupAdapter(kb::MacroLibrary& library, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A new name from the row's editor: RenameGroup (stores and saves only when it differs).
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // RemoveGroup (removes and saves only for a valid row), then a refresh in every case.
    void RemoveAndRefresh(uint32_t row);
    // Tells the views the rows changed. Rows that still exist keep their selection; rows beyond the new
    // count go, with their selection.
    void Refresh();

  private:
    template <class Model>
    friend void RefreshRows(Model& model, int& shownRows, int newRows, int columns);

    kb::MacroLibrary& library_;
    int rows_ = 0;  // the count the views were last told
};

// The group name editor: commits on every edit, so each typed character renames the group.
class GroupNameDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}  // namespace kb::assignment
