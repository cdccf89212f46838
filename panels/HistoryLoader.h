// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/HistoryModule.h"

class QString;

// Loads the history module the first time a history is asked for.
namespace HistoryLoader {

// The node's history window, a window of its own deleted with `parent`; or
// nullptr, with why in `error`, when the module cannot be loaded.
HistoryView_t *_MakeWindow(HistorySource_t &source, QWidget *parent, QString *error);

} // namespace HistoryLoader
