// SPDX-License-Identifier: GPL-3.0-or-later
// A Qt generic plugin for the start-up smoke test: loaded into the real
// program through QT_QPA_GENERIC_PLUGINS, it waits until the main window is
// shown and then closes it the way a user would, so the test sees whether
// the program ends cleanly on its own.

#include <QApplication>
#include <QGenericPlugin>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

class WindowCloser : public QObject {
public:
    explicit WindowCloser(QObject *parent)
        : QObject(parent) {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [timer] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            int shown = 0;
            for (QWidget *window : windows)
                shown += window->isVisible() ? 1 : 0;
            if (shown == 0)
                return;
            timer->stop();
            QTextStream(stderr) << "closing " << shown
                                << " window(s): " << windows.first()->metaObject()->className()
                                << Qt::endl;
            for (QWidget *window : windows)
                window->close();
        });
        timer->start(500);
    }
};

class CloseWindowsPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "closewindows.json")

public:
    QObject *create(const QString &, const QString &) override {
        return new WindowCloser(nullptr); // the application deletes it
    }
};

#include "CloseWindowsPlugin.moc"
