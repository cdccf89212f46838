// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/HistoryModule.h"

#include <QSet>

class HistoryPlot_t;
class HistoryTableModel_t;
class QButtonGroup;
class QTableView;
class QTimer;

// One node's history: its charts over the last 10 minutes, hour or day
// (Alt+1, Alt+2, Alt+3), and a table of every record, newest first, which
// "Copy" and Ctrl+C put on the clipboard as comma-separated values. It
// follows what is recorded while it is open, at most once a second and not
// while it is minimised or hidden, and the desktop's font and palette. Esc
// and Ctrl+W close it.
class HistoryWindow_t : public HistoryView_t {
public:
    HistoryWindow_t(HistorySource_t &source, QWidget *parent);

    void _Recorded() override;
    // The selected rows, or all of them, with the headers first.
    void _Copy();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void _Tick();
    void _Refresh();
    void _ShowRows();
    void _FitColumns();
    // 0: the last 10 minutes, 1: the hour, 2: the day.
    void _ShowRange(int index);
    void _FollowPalette();
    void _FitScreen();

    HistorySource_t &source;
    HistoryTableModel_t *model;
    QTableView *table;
    HistoryPlot_t *plot;
    QButtonGroup *ranges;
    QTimer *clockTimer; // at most one refresh a second
    int rangeIndex = 0;
    bool rowsChanged = true;
    QSet<QString> measuredKeys; // rows whose texts the columns' widths took in
};
