// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/history/HistoryPlugin.h"

#include "panels/history/HistoryWindow.h"

HistoryView_t *HistoryPlugin_t::_MakeHistoryWindow(HistorySource_t &source, QWidget *parent) {
    return new HistoryWindow_t(source, parent);
}
