// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "app/RepaintTuning.h"
#include "app/WorkingDirectory.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[]) {
    _SkipSearchForOpaqueSiblings();
    QApplication application(argc, argv);
    QDir::setCurrent(_WorkingDirectoryFor(QCoreApplication::applicationDirPath()));

    MainWindow_t window;
    window.show();
    return application.exec();
}
