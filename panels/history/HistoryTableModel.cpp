// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryTableModel.h"

HistoryTableModel_t::HistoryTableModel_t(const QStringList &headers, QObject *parent)
    : QAbstractTableModel(parent)
    , headers(headers) {
}

void HistoryTableModel_t::_SetRows(const QList<HistoryRows::Row_t> &newRows) {
    beginResetModel();
    rows = newRows;
    rowOfKey.clear();
    for (int row = 0; row < rows.size(); ++row)
        rowOfKey.insert(_Key(row), row);
    endResetModel();
}

QString HistoryTableModel_t::_Key(int row) const {
    const HistoryRows::Row_t &record = rows.at(row);
    return QString::number(record.ms) + QLatin1Char(' ') + record.cells.value(1);
}

int HistoryTableModel_t::_RowOfKey(const QString &key) const {
    return rowOfKey.value(key, -1);
}

int HistoryTableModel_t::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(rows.size());
}

int HistoryTableModel_t::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(headers.size());
}

QVariant HistoryTableModel_t::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return QVariant();
    return rows.at(index.row()).cells.value(index.column());
}

QVariant HistoryTableModel_t::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers.value(section);
}
