// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryTableModel.h"

HistoryTableModel_t::HistoryTableModel_t(const QStringList &headers, const QStringList &copyHeaders,
                                         QObject *parent)
    : QAbstractTableModel(parent)
    , headers(headers)
    , copyHeaders(copyHeaders) {
}

// The rows go and come, but not the columns: a reset would have the header
// measured and painted again every second.
void HistoryTableModel_t::_SetTable(const HistoryRows::Table_t &newTable) {
    if (table._Count() > 0) {
        beginRemoveRows(QModelIndex(), 0, table._Count() - 1);
        table = HistoryRows::Table_t();
        cells.clear();
        rowOfKey.clear();
        endRemoveRows();
    }
    if (newTable._Count() == 0)
        return;
    beginInsertRows(QModelIndex(), 0, newTable._Count() - 1);
    table = newTable;
    for (int row = 0; row < table._Count(); ++row)
        rowOfKey.insert(table._Key(row), row);
    endInsertRows();
}

const QStringList &HistoryTableModel_t::_Cells(int row) const {
    auto found = cells.find(row);
    if (found == cells.end())
        found = cells.insert(row, table._Row(row, false).cells);
    return found.value();
}

int HistoryTableModel_t::_RowOfKey(const QString &key) const {
    return rowOfKey.value(key, -1);
}

int HistoryTableModel_t::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : table._Count();
}

int HistoryTableModel_t::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(headers.size());
}

QVariant HistoryTableModel_t::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return QVariant();
    return _Cells(index.row()).value(index.column());
}

QVariant HistoryTableModel_t::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers.value(section);
}
