// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/history/HistoryRows.h"

#include <QAbstractTableModel>
#include <QHash>

// The rows of a node's history for its table, newest first, each row's
// texts made when the view first asks for them.
class HistoryTableModel_t : public QAbstractTableModel {
public:
    HistoryTableModel_t(const QStringList &headers, const QStringList &copyHeaders,
                        QObject *parent);

    void _SetTable(const HistoryRows::Table_t &table);
    const QStringList &_Headers() const { return headers; }
    const QStringList &_CopyHeaders() const { return copyHeaders; }
    const QStringList &_Cells(int row) const;
    QString _Key(int row) const { return table._Key(row); }
    int _RowOfKey(const QString &key) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList headers;
    QStringList copyHeaders;
    HistoryRows::Table_t table;
    mutable QHash<int, QStringList> cells;
    QHash<QString, int> rowOfKey;
};
