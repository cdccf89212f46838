// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "app/RepaintTuning.h"
#include "app/SiteOptions.h"
#include "app/WorkingDirectory.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <memory>

namespace {
// As the bridge: a command line that cannot be used.
constexpr int UsageExitCode = 2;
} // namespace

int main(int argc, char *argv[]) {
    _SkipSearchForOpaqueSiblings();
    QApplication application(argc, argv);
    QDir::setCurrent(_WorkingDirectoryFor(QCoreApplication::applicationDirPath()));

    SiteOptions_t site;
    QString text;
    const SiteOptions_t::Parsed_t parsed =
        SiteOptions_t::_Parse(QCoreApplication::arguments(), &site, &text);
    if (parsed == SiteOptions_t::Parsed_t::Help) {
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parsed == SiteOptions_t::Parsed_t::Error) {
        std::fprintf(stderr, "ternix36-control: %s\n", qPrintable(text));
        return UsageExitCode;
    }

    std::unique_ptr<MainWindow_t> window = parsed == SiteOptions_t::Parsed_t::SiteMode
                                               ? std::make_unique<MainWindow_t>(site)
                                               : std::make_unique<MainWindow_t>();
    window->show();
    return application.exec();
}
