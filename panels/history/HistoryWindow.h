// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/HistoryModule.h"

#include <QList>

class HistoryChart_t;
class HistoryTableModel_t;
class QTableView;
class QTimer;

// One node's history: a chart per quantity over the last 10 minutes, hour or
// day, and a table of every record, newest first, which "Copy" and Ctrl+C
// put on the clipboard as comma-separated values. It follows what is
// recorded while it is open, and the desktop's font and palette.
class HistoryWindow_t : public HistoryView_t {
public:
    HistoryWindow_t(HistorySource_t &source, QWidget *parent);

    void _Recorded() override;
    // The selected rows, or all of them, with the headers first.
    void _Copy();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void _Refresh();
    void _ShowRows();
    // 0: the last 10 minutes, 1: the hour, 2: the day.
    void _ShowRange(int index);
    void _FollowPalette();

    HistorySource_t &source;
    HistoryTableModel_t *model;
    QTableView *table;
    QList<HistoryChart_t *> charts;
    QTimer *refreshTimer; // gathers the records of a burst into one refresh
    QTimer *clockTimer;   // moves the time axes on, and settles commands
    int rangeIndex = 0;
    bool rowsChanged = true;
};
