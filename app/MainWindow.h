// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QString>

class ColumnHint_t;
class FindField_t;
class ItemView_t;
struct Moment_t;
class ProbeWindows_t;
class QAction;
class QComboBox;
class QFrame;
class QScrollArea;
class QToolBar;
class QUdpSocket;
class QVBoxLayout;

// The one window: the interface box, "Scan" and "Exit" in the toolbar, and a
// scrolling column with one panel per node heard on the link.
class MainWindow_t : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow_t(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~MainWindow_t() override;

    void _AddItem(ItemView_t *panel);
    // Takes the panel out of the column, the window's list and NodeMap, and
    // deletes it. The program never removes a panel; tests and fuzzers do.
    void _RemoveItem(ItemView_t *panel);
    // The chosen interface's index in decimal: the scope of node addresses.
    QString _InterfaceName() const { return interfaceName; }
    // A node marked as not answering was heard again.
    void _AnswersAgain();

private slots:
    void _Scan();
    void _ScanDataRead();
    // Closes the oldest probe's answer window before its time.
    void _ProbeWindowClosed();

private:
    void _FillInterfaceBox();
    // The desktop's keys for the action (or `otherwise` where it has none),
    // named in its tooltip.
    static void _GiveKeys(QAction *action, QKeySequence::StandardKey key,
                          const QKeySequence &otherwise);
    void _ShowPortTaken();
    // The answer window of the probe sent at `probe` through `scope` closed:
    // that interface's silent nodes are marked, and an empty column says why.
    void _AnswerWindowClosed(const Moment_t &probe, const QString &scope);
    // Says over the empty column why it is empty, until the first panel.
    void _ShowHint(const QString &text);
    void _AddFindField(QToolBar *toolBar);
    void _ShowCounts();

    QUdpSocket *receiveSocket;
    QComboBox *interfaceBox;
    QAction *scanAction;
    QScrollArea *scrollArea;
    ColumnHint_t *columnHint = nullptr;
    QFrame *panelContainer;
    QString interfaceName;
    QVBoxLayout *panelLayout;

    ProbeWindows_t *probeWindows;
    QList<ItemView_t *> panels; // in column order
    int notAnsweringCount = 0;
    FindField_t *findField;
};

// The one main window, for the routing and the panels.
extern MainWindow_t *pMainWindow;
