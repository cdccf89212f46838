// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/HistoryLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <QStringList>

namespace {
#if defined(Q_OS_WIN)
constexpr char ModuleFile[] = "ternix36-history.dll";
#else
constexpr char ModuleFile[] = "ternix36-history.so";
#endif

// Beside the program (its build folder), where it is installed (a path from
// the program's folder), then in the library paths, which tests add their
// build folder to; each once.
QStringList _ModuleFolders() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    QStringList folders = {programFolder.path(),
                           programFolder.filePath(QStringLiteral(TERNIX36_MODULE_DIR))};
    folders += QCoreApplication::libraryPaths();
    QStringList unique;
    for (const QString &folder : std::as_const(folders)) {
        const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
        if (!unique.contains(clean))
            unique.append(clean);
    }
    return unique;
}

HistoryWindowMaker_t *_Maker(QString *error) {
    // Loaded once and kept: its windows' code lives in it.
    static HistoryWindowMaker_t *maker = nullptr;
    if (maker)
        return maker;
    // Where it is not, the folder is named; where it is but will not load,
    // the folder and the loader's reason.
    QStringList missing;
    QStringList reasons;
    for (const QString &folder : _ModuleFolders()) {
        const QString path = QDir(folder).filePath(QLatin1String(ModuleFile));
        if (!QFileInfo::exists(path)) {
            missing.append(folder);
            continue;
        }
        QPluginLoader loader(path);
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
    if (!missing.isEmpty())
        reasons.prepend(QCoreApplication::translate("HistoryLoader", "%1 is in none of: %2")
                            .arg(QLatin1String(ModuleFile), missing.join(QStringLiteral(", "))));
    *error = reasons.join(QLatin1Char('\n'));
    return nullptr;
}
} // namespace

HistoryView_t *HistoryLoader::_MakeWindow(HistorySource_t &source, QWidget *parent,
                                          QString *error) {
    HistoryWindowMaker_t *maker = _Maker(error);
    return maker ? maker->_MakeHistoryWindow(source, parent) : nullptr;
}
