// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ModuleLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPluginLoader>
#include <QStringList>

namespace {
#if defined(Q_OS_WIN)
constexpr char ModuleSuffix[] = ".dll";
#else
constexpr char ModuleSuffix[] = ".so";
#endif

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
} // namespace

QObject *ModuleLoader::_Instance(const char *name, const QString &what, QString *error) {
    static QHash<QString, QObject *> loaded;
    const QString fileName = QLatin1String(name) + QLatin1String(ModuleSuffix);
    if (QObject *instance = loaded.value(fileName))
        return instance;
    // Where it is not, the folder is named; where it is but will not load,
    // the folder and the loader's reason.
    QStringList missing;
    QStringList reasons;
    for (const QString &folder : _ModuleFolders()) {
        const QString path = QDir(folder).filePath(fileName);
        if (!QFileInfo::exists(path)) {
            missing.append(folder);
            continue;
        }
        QPluginLoader loader(path);
        if (!loader.load()) {
            reasons.append(loader.errorString());
            continue;
        }
        if (QObject *instance = loader.instance()) {
            loaded.insert(fileName, instance);
            return instance;
        }
        reasons.append(QCoreApplication::translate("ModuleLoader", "%1 is not the %2")
                           .arg(loader.fileName(), what));
        loader.unload();
    }
    if (!missing.isEmpty())
        reasons.prepend(QCoreApplication::translate("ModuleLoader", "%1 is in none of: %2")
                            .arg(fileName, missing.join(QStringLiteral(", "))));
    *error = reasons.join(QLatin1Char('\n'));
    return nullptr;
}
