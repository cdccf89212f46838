// SPDX-License-Identifier: GPL-3.0-or-later
#include "Measures.h"

#include "app/MainWindow.h"

#include <QFile>
#include <QLayout>
#include <QScrollArea>

#include <unistd.h>

namespace Bench {
namespace {

// Found by its type: in site mode the column shares the central widget with
// the broker's status line.
QWidget *PanelContainer(MainWindow_t &window) {
    return window.findChild<QScrollArea *>()->widget();
}

} // namespace

bool ColumnLaidOut(MainWindow_t &window, int expected) {
    QLayout *column = PanelContainer(window)->layout();
    if (column->count() != expected)
        return false;
    int bottom = -1;
    for (int i = 0; i < column->count(); ++i) {
        QWidget *panel = column->itemAt(i)->widget();
        if (!panel->isVisible() || panel->y() <= bottom ||
            panel->height() != panel->minimumHeight())
            return false;
        bottom = panel->geometry().bottom();
    }
    return bottom < PanelContainer(window)->height();
}

qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

} // namespace Bench
