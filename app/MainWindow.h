// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QString>

#include "app/SiteModule.h"

#include <QElapsedTimer>
#include <QPointer>

class ColumnHint_t;
class QInputDialog;
class QLabel;
class QTimer;
class SiteConsole_t;
struct SiteOptions_t;
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
class PanelColumn_t;

// The one window: the interface box, "Scan" and "Exit" in the toolbar, and a
// scrolling column with one panel per node heard on the link.
class MainWindow_t : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow_t(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    // A console of a whole site: the nodes of every link that its bridges
    // carry into its broker, in one column, instead of the nodes of one link.
    explicit MainWindow_t(const SiteOptions_t &site, QWidget *parent = nullptr);
    ~MainWindow_t() override;

    void _AddItem(ItemView_t *panel);
    // Takes the panel out of the column, the window's list and NodeMap, and
    // deletes it. The program never removes a panel; tests and fuzzers do.
    void _RemoveItem(ItemView_t *panel);
    // The chosen interface's index in decimal: the scope of node addresses.
    QString _InterfaceName() const { return interfaceName; }
    // A node marked as not answering was heard again.
    void _AnswersAgain();
    // A site's node is marked as not answering.
    void _StopsAnswering();
    SiteConsole_t *_Site() const { return site; }

private slots:
    void _Scan();
    void _ScanDataRead();
    // Closes the oldest probe's answer window before its time.
    void _ProbeWindowClosed();

private:
    // What both kinds of window have: the toolbar, the column, find.
    void _BuildWindow();
    void _FillInterfaceBox();
    void _AddSiteLink(const QString &bridge, const QString &link);
    void _SiteConnected();
    void _SiteFailed(SiteFailure_t failure, const QString &why);
    void _AskPassword();
    void _ShowSiteStatus(const QString &text);
    void _ShowOutage();
    // Port 4444 is taken: a broker on this host may carry the nodes.
    void _LookForLocalBroker(QLabel *portTaken);
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
    PanelColumn_t *panelLayout;

    ProbeWindows_t *probeWindows;
    QList<ItemView_t *> panels; // in column order
    int notAnsweringCount = 0;
    FindField_t *findField;

    SiteConsole_t *site = nullptr;
    QLabel *siteStatus = nullptr; // one line above the column
    QTimer *outageTimer = nullptr;
    QElapsedTimer outage; // since the broker was lost
    qint64 outageSinceMs = 0;
    QString outageWhy;
    bool askPassword = false;
    QPointer<QInputDialog> passwordDialog;
    // The latest password typed is the one that the client tries now.
    bool passwordInUse = true;
};

// The one main window, for the routing and the panels.
extern MainWindow_t *pMainWindow;
