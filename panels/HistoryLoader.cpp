// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/HistoryLoader.h"

#include "panels/ModuleLoader.h"

#include <QCoreApplication>

namespace {
constexpr char ModuleName[] = "ternix36-history";
} // namespace

HistoryView_t *HistoryLoader::_MakeWindow(HistorySource_t &source, QWidget *parent,
                                          QString *error) {
    QObject *module = ModuleLoader::_Instance(
        ModuleName, QCoreApplication::translate("HistoryLoader", "history module"), error);
    auto *maker = qobject_cast<HistoryWindowMaker_t *>(module);
    if (module && !maker)
        *error = QCoreApplication::translate("HistoryLoader", "%1 is not the history module")
                     .arg(QLatin1String(ModuleName));
    return maker ? maker->_MakeHistoryWindow(source, parent) : nullptr;
}
