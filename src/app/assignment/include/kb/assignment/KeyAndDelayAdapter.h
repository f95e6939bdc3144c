// The step list of the assignment dialog: the steps of the group at the bound index, four columns (code,
// key, action, delay), the delay editable in place. Header clicks only show sort marks; the rows keep the
// order in which the macro plays.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QStyledItemDelegate>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "kb/macros/MacroLibrary.h"

namespace kb::assignment {

class KeyAndDelayAdapter : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kColumns = 4;
    enum Column { kCode = 0, kName = 1, kState = 2, kDelay = 3 };

    explicit KeyAndDelayAdapter(kb::MacroLibrary& library, QObject* parent = nullptr);

    // The group whose steps are the rows: the one at this index when asked; none shows nothing.
    void Bind(std::optional<uint32_t> groupIndex);
    std::optional<uint32_t> BoundGroup() const { return bound_; }
    kb::MacroGroup* Group() const;
    const kb::MacroStep* StepAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "col1" to "col4": the names of the layout's labels that hold the captions.
    static QString ColumnName(int column);
    void SetColumnCaptions(const QStringList& captions);

    // A header click: the clicked column's mark cycles up/down, the others are cleared. Rows stay put.
    bool SortRequest(int column);
    int SortMark(int column) const;

    // The delay cell's text was edited. A number (or a blank text, 0) replaces the step's delay; text
    // that is no number is refused and the stored delay is returned to be put back into the cell; a lone
    // sign (a number still being typed) changes nothing. Nothing is saved.
    std::optional<QString> EditDelay(int row, const QString& text);

    // Step operations of the dialog's buttons, each followed by a refresh (moves only when they moved).
    void Append(uint32_t code, const std::u16string& name, int32_t state, int32_t delay);
    bool MoveUp(int row);
    bool MoveDown(int row);
    void Remove(uint32_t row);
    void Clear();
    void Refresh();

  private:
    template <class Model>
    friend void RefreshRows(Model& model, int& shownRows, int newRows, int columns);
    int StepCount() const;

    kb::MacroLibrary& library_;
    std::optional<uint32_t> bound_;
    int rows_ = 0;
    QStringList captions_;
    std::array<int, kColumns> marks_{};
};

// The delay cell's editor (an SEditEx): every edit is handed on at once, and a refused text is replaced
// by the stored delay.
class StepDelayDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}  // namespace kb::assignment
