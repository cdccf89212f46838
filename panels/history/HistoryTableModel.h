// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/history/HistoryRows.h"

#include <QAbstractTableModel>
#include <QHash>

// The rows of a node's history for its table, newest first.
class HistoryTableModel_t : public QAbstractTableModel {
public:
    HistoryTableModel_t(const QStringList &headers, QObject *parent);

    void _SetRows(const QList<HistoryRows::Row_t> &rows);
    const QStringList &_Headers() const { return headers; }
    const QStringList &_Cells(int row) const { return rows.at(row).cells; }
    // What tells a row from the others across refreshes: its time and event.
    QString _Key(int row) const;
    int _RowOfKey(const QString &key) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList headers;
    QList<HistoryRows::Row_t> rows;
    QHash<QString, int> rowOfKey;
};
