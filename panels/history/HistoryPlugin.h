// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/HistoryModule.h"

#include <QObject>

// What the program finds when it loads the history module.
class HistoryPlugin_t : public QObject, public HistoryWindowMaker_t {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HistoryWindowMaker_iid)
    Q_INTERFACES(HistoryWindowMaker_t)

public:
    HistoryView_t *_MakeHistoryWindow(HistorySource_t &source, QWidget *parent) override;
};
