// The assignment dialog's list handling: group clicks, adding and removing groups, the step buttons and
// the selection rules of both lists.
#include <QListView>
#include <QTableView>

#include "kb/assignment/MacroRecordDlg.h"

namespace kb::assignment {

void MacroRecordDlg::OnGroupRowClicked(int row) {
    if (library_.GroupAt(row) == nullptr || stepList_->model() == nullptr || groupList_->model() == nullptr) {
        return;
    }
    BindStepsTo(row < 0 ? library_.group : row);  // GroupAt reads a negative row as the selected group
    UpdateGroupFromSelection();
}

void MacroRecordDlg::OnGroupAdd() {
    (void)library_.AddGroup();  // a failed save is silent; the group is there for this run
    groups_.Refresh();
    if (library_.group < 0 && groups_.rowCount() > 0) {
        library_.group = 0;
        SelectRowSilently(groupList_, 0);
        // The step list shows (and records into) the group that is now selected, not a stale index or
        // nothing.
        BindStepsTo(0);
    }
}

void MacroRecordDlg::OnGroupDel() {
    const int row = SelectedGroupRow();
    ChangeRows(groupList_, [this, row] {
        if (row >= 0) {
            groups_.RemoveAndRefresh(static_cast<uint32_t>(row));
        } else {
            groups_.Refresh();
        }
    });
    library_.group = SelectedGroupRow();
    if (library_.group < 0) {
        // Nothing is selected now: show no steps. The steps on show may belong to a group that still
        // exists (nothing was selected before the click), so they are never erased here.
        ChangeRows(stepList_, [this] { steps_.Bind(std::nullopt); });
    } else {
        ChangeRows(stepList_, [this] { steps_.Refresh(); });  // the group at the shown index may be another
    }
}

void MacroRecordDlg::OnStepButton(const QString& name) {
    const int row = SelectedStepRow();
    if (name == u"item_up") {
        if (row > 0 && steps_.MoveUp(row)) {
            SelectRowSilently(stepList_, row - 1);
        }
    } else if (name == u"item_down") {
        if (row < steps_.rowCount() && steps_.MoveDown(row)) {
            SelectRowSilently(stepList_, row + 1);
        }
    } else if (name == u"item_delete") {
        // No row: -1 is beyond the end and removes nothing.
        ChangeRows(stepList_, [this, row] { steps_.Remove(static_cast<uint32_t>(row)); });
    } else {
        ChangeRows(stepList_, [this] { steps_.Clear(); });
    }
    UpdateGroupFromSelection();
}

int MacroRecordDlg::SelectedGroupRow() const {
    const QModelIndexList rows = groupList_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int MacroRecordDlg::SelectedStepRow() const {
    const QModelIndexList rows = stepList_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MacroRecordDlg::SelectRowSilently(QAbstractItemView* view, int row) {
    silentSelection_ = true;
    QAbstractItemModel* model = view->model();
    if (row >= 0 && row < model->rowCount()) {
        view->selectionModel()->setCurrentIndex(
            model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        view->selectionModel()->clearSelection();
    }
    silentSelection_ = false;
}

void MacroRecordDlg::BindStepsTo(int32_t groupIndex) {
    ChangeRows(stepList_, [this, groupIndex] {
        if (groupIndex >= 0 && static_cast<std::size_t>(groupIndex) < library_.groups.size()) {
            steps_.Bind(static_cast<uint32_t>(groupIndex));
        } else {
            steps_.Bind(std::nullopt);
        }
    });
}

void MacroRecordDlg::ChangeRows(QAbstractItemView* view, const std::function<void()>& change) {
    // A Qt view moves its selection to a neighbour when the selected row goes away; these lists drop it
    // instead, and keep it on rows that still exist.
    const int row = view == groupList_ ? SelectedGroupRow() : SelectedStepRow();
    silentSelection_ = true;
    view->selectionModel()->clear();
    silentSelection_ = false;
    change();
    SelectRowSilently(view, row);
}

void MacroRecordDlg::UpdateGroupFromSelection() {
    library_.group = SelectedGroupRow();
}

}  // namespace kb::assignment
