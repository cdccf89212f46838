// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WorkingDirectory.h"

#include <QDir>

QString _WorkingDirectoryFor(const QString &executableDirectory) {
    QDir directory(executableDirectory);
    const QString last = directory.dirName().toLower();
    if (last == QLatin1String("debug") || last == QLatin1String("release"))
        directory.cdUp();
    return directory.absolutePath();
}
