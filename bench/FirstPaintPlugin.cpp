// SPDX-License-Identifier: GPL-3.0-or-later
// A Qt generic plugin for the start-up measurement: loaded into a program
// through QT_QPA_GENERIC_PLUGINS, it prints the monotonic time once the first
// window has been painted and flushed, and ends the program.

#include <QApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <time.h>

class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher() { QCoreApplication::instance()->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override {
        // The window paints and flushes its backing store on an update request.
        if (!seen && event->type() == QEvent::UpdateRequest && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->isWindow()) {
            seen = true;
            QTimer::singleShot(0, [] {
                timespec now;
                clock_gettime(CLOCK_MONOTONIC, &now);
                QTextStream(stdout)
                    << "FIRSTPAINT " << qint64(now.tv_sec) * 1000000000 + now.tv_nsec << Qt::endl;
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    bool seen = false;
};

class FirstPaintPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "firstpaint.json")

public:
    QObject *create(const QString &, const QString &) override {
        return new FirstPaintWatcher; // the application deletes it
    }
};

#include "FirstPaintPlugin.moc"
