// A list refresh that keeps the selection of rows that still exist: the rows beyond the new count are
// removed (dropping their selection), new rows are inserted at the end, and every remaining row is
// announced as changed. A model reset would clear the selection of every row. Models count the rows
// they last announced (`shownRows`) and make this a friend.
#pragma once

#include <QAbstractItemModel>

namespace kb::assignment {

template <class Model>
void RefreshRows(Model& model, int& shownRows, int newRows, int columns) {
    if (newRows < shownRows) {
        model.beginRemoveRows(QModelIndex(), newRows, shownRows - 1);
        shownRows = newRows;
        model.endRemoveRows();
    } else if (newRows > shownRows) {
        model.beginInsertRows(QModelIndex(), shownRows, newRows - 1);
        shownRows = newRows;
        model.endInsertRows();
    }
    if (newRows > 0) {
        emit model.dataChanged(model.index(0, 0), model.index(newRows - 1, columns - 1));
    }
}

}  // namespace kb::assignment
