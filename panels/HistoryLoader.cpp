// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/HistoryLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>
#include <QStringList>

namespace {
constexpr char ModuleName[] = "ternix36-history";

// Beside the program (its build folder), where it is installed (a path from
// the program's folder), then in the library paths, which tests add their
// build folder to.
QStringList _ModuleFolders() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    QStringList folders = {programFolder.path(),
                           programFolder.filePath(QStringLiteral(TERNIX36_MODULE_DIR))};
    folders += QCoreApplication::libraryPaths();
    return folders;
}

HistoryWindowMaker_t *_Maker(QString *error) {
    // Loaded once and kept: its windows' code lives in it.
    static HistoryWindowMaker_t *maker = nullptr;
    if (maker)
        return maker;
    QStringList reasons;
    for (const QString &folder : _ModuleFolders()) {
        QPluginLoader loader(QDir(folder).filePath(QLatin1String(ModuleName)));
        if (!loader.load()) {
            reasons.append(loader.errorString());
            continue;
        }
        maker = qobject_cast<HistoryWindowMaker_t *>(loader.instance());
        if (maker)
            return maker;
        reasons.append(QCoreApplication::translate("HistoryLoader", "%1 is not the history module")
                           .arg(loader.fileName()));
        loader.unload();
    }
    *error = reasons.join(QLatin1Char('\n'));
    return nullptr;
}
} // namespace

HistoryView_t *HistoryLoader::_MakeWindow(HistorySource_t &source, QWidget *parent,
                                          QString *error) {
    HistoryWindowMaker_t *maker = _Maker(error);
    return maker ? maker->_MakeHistoryWindow(source, parent) : nullptr;
}
