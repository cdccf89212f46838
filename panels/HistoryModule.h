// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <QtPlugin>

class NodeHistory_t;

// What the window and the history module share. The module holds the history
// window and Qt Charts, and is loaded when a history is first asked for, so
// that the program starts without loading Qt Charts. It reaches the program
// only through these interfaces, whose functions are all virtual or inline.

// A node's history and what names it, as its panel gives them.
class HistorySource_t {
public:
    virtual const NodeHistory_t &_History() const = 0;
    // Commands still waiting that are past their time get no answer.
    virtual void _SettleHistory() = 0;
    // The node's name, or its address while it has none.
    virtual QString _HistoryName() const = 0;
    // Now on the wall clock that the records' times were read from.
    virtual qint64 _NowMs() const = 0;

protected:
    ~HistorySource_t() = default;
};

// The history window of one node, as the panel keeps it.
class HistoryView_t : public QWidget {
public:
    using QWidget::QWidget;
    // Something was recorded; the window shows it soon, never during the report.
    virtual void _Recorded() = 0;
};

class HistoryWindowMaker_t {
public:
    virtual ~HistoryWindowMaker_t() = default;
    // A window of its own over the source's history, deleted with `parent`.
    virtual HistoryView_t *_MakeHistoryWindow(HistorySource_t &source, QWidget *parent) = 0;
};

#define HistoryWindowMaker_iid "org.ternix36.control.HistoryWindowMaker/1"
Q_DECLARE_INTERFACE(HistoryWindowMaker_t, HistoryWindowMaker_iid)
