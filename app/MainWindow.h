// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QString>

class ItemView_t;
class QAction;
class QComboBox;
class QFrame;
class QUdpSocket;
class QVBoxLayout;

// The one window: the interface box, "Scan" and "Exit" in the toolbar, and a
// scrolling column with one panel per node heard on the link.
class MainWindow_t : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow_t(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    void _AddItem(ItemView_t *panel);
    // The chosen interface's index in decimal: the scope of node addresses.
    QString _InterfaceName() const { return interfaceName; }

private slots:
    void _Scan();
    void _ScanDataRead();

private:
    void _FillInterfaceBox();
    // The desktop's keys for the action (or `otherwise` where it has none),
    // named in its tooltip.
    static void _GiveKeys(QAction *action, QKeySequence::StandardKey key,
                          const QKeySequence &otherwise);
    void _ShowPortTaken();

    QUdpSocket *receiveSocket;
    QComboBox *interfaceBox;
    QFrame *panelContainer;
    QString interfaceName;
    QVBoxLayout *panelLayout;
};

// The one main window, for the routing and the panels.
extern MainWindow_t *pMainWindow;
