// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"

#include "app/ColumnHint.h"
#include "app/FindField.h"
#include "app/InterfaceList.h"
#include "app/SiteConsole.h"
#include "panels/ItemView.h"
#include "panels/PanelAccessible.h"
#include "panels/PanelColumn.h"
#include "panels/PanelToolTip.h"
#include "protocol/Clock.h"
#include "protocol/Liveness.h"
#include "protocol/NodeMap.h"
#include "protocol/ProbeWindows.h"
#include "protocol/Protocol.h"
#include "protocol/Route.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFrame>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTimer>
#include <QToolBar>
#include <QUdpSocket>
#include <QVBoxLayout>

MainWindow_t *pMainWindow = nullptr;

namespace {
constexpr int MinimumWidth = 600;
// Where a broker on this host listens, as Debian's mosquitto does.
constexpr quint16 LocalBrokerPort = 1883;
// Room for the answers of thousands of nodes to one probe, which arrive faster
// than panels can be built for them; the kernel caps it at net.core.rmem_max.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
// Longest time spent routing waiting datagrams before the window gets its turn.
constexpr qint64 ReadingTimeMs = 10;
} // namespace

MainWindow_t::MainWindow_t(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags) {
    _BuildWindow();

    receiveSocket = new QUdpSocket(this);
    if (!receiveSocket->bind(QHostAddress::AnyIPv6, Ternix36::ProgramPort,
                             QUdpSocket::ShareAddress))
        _ShowPortTaken();
    receiveSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                   ReceiveBufferBytes);
    connect(receiveSocket, &QUdpSocket::readyRead, this, &MainWindow_t::_ScanDataRead);

    pMainWindow = this;
    setMinimumWidth(MinimumWidth);
    // Qt's own title is empty under Wayland until the first node answers.
    setWindowTitle(QStringLiteral("ternix36-control"));
    if (interfaceBox->count() == 0)
        _ShowHint(tr("No network interface with IPv6 was found.") + u'\n' +
                  tr("An interface named eth0 is never listed: the user guide, under \"An "
                     "interface named eth0\", tells how to reach its link."));

    // The first probe leaves before the window is shown; answers wait in the socket.
    _Scan();
}

MainWindow_t::MainWindow_t(const SiteOptions_t &options, QWidget *parent)
    : QMainWindow(parent)
    , receiveSocket(nullptr) {
    site = new SiteConsole_t(options, this);
    _BuildWindow();

    // The broker's state, in one line above the column.
    siteStatus = new QLabel;
    siteStatus->setObjectName(QStringLiteral("siteStatus"));
    siteStatus->setWordWrap(true);
    siteStatus->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    siteStatus->setMargin(siteStatus->fontMetrics().height() / 3);
    siteStatus->hide();
    auto *central = new QWidget;
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    centralLayout->addWidget(siteStatus);
    centralLayout->addWidget(takeCentralWidget());
    setCentralWidget(central);
    outageTimer = new QTimer(this);
    outageTimer->setInterval(1000);
    connect(outageTimer, &QTimer::timeout, this, &MainWindow_t::_ShowOutage);

    connect(site, &SiteConsole_t::linkFound, this, &MainWindow_t::_AddSiteLink);
    connect(site, &SiteConsole_t::connected, this, &MainWindow_t::_SiteConnected);
    connect(site, &SiteConsole_t::connecting, this, [this] { passwordInUse = true; });
    // Queued: a password dialog must not run inside the library's callback.
    connect(site, &SiteConsole_t::failed, this, &MainWindow_t::_SiteFailed, Qt::QueuedConnection);
    askPassword = site->_HasUser() && !site->_PasswordGiven();

    pMainWindow = this;
    setMinimumWidth(MinimumWidth);
    _ShowCounts();
    outageSinceMs = pClockMs();
    outage.start();
    QString error;
    if (site->_Start(&error))
        _ShowSiteStatus(tr("Connecting to the broker %1…").arg(site->_SiteName()));
    else
        _ShowSiteStatus(tr("Cannot connect to the broker %1: %2.").arg(site->_SiteName(), error));
}

void MainWindow_t::_BuildWindow() {
    auto *toolBar = new QToolBar(this);
    addToolBar(toolBar);

    interfaceBox = new QComboBox(this);
    toolBar->addWidget(interfaceBox);
    if (site) {
        interfaceBox->addItem(tr("All links"), QString());
        interfaceBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    } else {
        _FillInterfaceBox();
    }

    // Qt on Linux names a combo box after its current item ("enp3s0").
    interfaceBox->setAccessibleDescription(
        site ? tr("Links on which Scan probes")
             : tr("Network interface on which the nodes are found"));

    scanAction = toolBar->addAction(tr("Scan"));
    connect(scanAction, &QAction::triggered, this, &MainWindow_t::_Scan);
    QAction *exitAction = toolBar->addAction(tr("Exit"));
    connect(exitAction, &QAction::triggered, this, &MainWindow_t::close);
    _GiveKeys(scanAction, QKeySequence::Refresh, Qt::Key_F5);
    _GiveKeys(exitAction, QKeySequence::Quit, Qt::CTRL | Qt::Key_Q);
    // Only now, so that filling the box sends no probe.
    connect(interfaceBox, &QComboBox::currentIndexChanged, this, &MainWindow_t::_Scan);

    scrollArea = new QScrollArea;
    scrollArea->setWidgetResizable(true);
    panelContainer = new QFrame;
    panelLayout = new PanelColumn_t;
    panelContainer->setLayout(panelLayout);
    panelContainer->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    // Panels are appended at the bottom and never move: growing the column
    // repaints only what is new, not every panel in view.
    panelContainer->setAttribute(Qt::WA_StaticContents);
    // The last-heard text is made when a tooltip is asked for, never per report.
    new PanelToolTip_t(panelContainer);
    scrollArea->setWidget(panelContainer);
    setCentralWidget(scrollArea);
    _AddFindField(toolBar);
    PanelAccessible_t::_Install();
    // Whatever moves the focus (Tab, a screen reader), the focused control stays in view.
    connect(qApp, &QApplication::focusChanged, scrollArea, [this](QWidget *, QWidget *now) {
        if (now && scrollArea->widget()->isAncestorOf(now))
            scrollArea->ensureWidgetVisible(now);
    });

    probeWindows = new ProbeWindows_t(this);
    connect(probeWindows, &ProbeWindows_t::closed, this, &MainWindow_t::_AnswerWindowClosed);
}

void MainWindow_t::_GiveKeys(QAction *action, QKeySequence::StandardKey key,
                             const QKeySequence &otherwise) {
    // A desktop of the Windows kind knows no Quit key.
    const QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    action->setShortcuts(keys.isEmpty() ? QList<QKeySequence>{otherwise} : keys);
    action->setToolTip(QStringLiteral("%1 (%2)").arg(
        action->text(), action->shortcut().toString(QKeySequence::NativeText)));
}

void MainWindow_t::_FillInterfaceBox() {
    for (const InterfaceChoice_t &choice : _UsableInterfaces(_DescribeAllInterfaces()))
        interfaceBox->insertItem(interfaceBox->count(), QIcon(), choice.text, choice.interfaceName);
}

// Without the port no node can be heard, and the empty column would look like
// a link without nodes. Said once, in a status bar that only this case
// creates; a permanent widget, so that no status tip wipes it out.
void MainWindow_t::_ShowPortTaken() {
    auto *portTaken = new QLabel(tr("Port %1 is in use by another program: no node can be heard.")
                                     .arg(Ternix36::ProgramPort));
    statusBar()->addPermanentWidget(portTaken);
    _LookForLocalBroker(portTaken);
}

// Most often the port is held by the bridge, which carries the nodes into a
// broker on the same host: the console of the site sees them there.
void MainWindow_t::_LookForLocalBroker(QLabel *portTaken) {
    auto *probe = new QTcpSocket(this);
    connect(probe, &QTcpSocket::connected, this, [this, probe, portTaken] {
        // The longer text takes the bar's width, and wraps where it must.
        statusBar()->removeWidget(portTaken);
        statusBar()->addPermanentWidget(portTaken, 1);
        portTaken->show();
        portTaken->setWordWrap(true);
        portTaken->setText(
            tr("Port %1 is in use by another program. A broker answers on this host: "
               "ternix36-control --site mqtt://localhost shows its nodes.")
                .arg(Ternix36::ProgramPort));
        probe->deleteLater();
    });
    connect(probe, &QTcpSocket::errorOccurred, probe, &QObject::deleteLater);
    probe->connectToHost(QHostAddress::LocalHost, LocalBrokerPort);
}

void MainWindow_t::_AddFindField(QToolBar *toolBar) {
    findField = new FindField_t(panels, scrollArea, this);
    findField->_SetToolBarAction(toolBar->addWidget(findField));
    const auto addShortcut = [this](QKeySequence::StandardKey key, void (FindField_t::*slot)()) {
        auto *action = new QAction(this);
        action->setShortcut(key);
        addAction(action);
        connect(action, &QAction::triggered, findField, slot);
    };
    addShortcut(QKeySequence::Find, &FindField_t::_Open);
    addShortcut(QKeySequence::FindNext, &FindField_t::_Next);
    addShortcut(QKeySequence::FindPrevious, &FindField_t::_Previous);
}

MainWindow_t::~MainWindow_t() {
    // The panels go after this window's own members: they must not look for their list.
    if (pMainWindow == this)
        pMainWindow = nullptr;
}

void MainWindow_t::_AddItem(ItemView_t *panel) {
    delete columnHint;
    columnHint = nullptr;
    panelLayout->_Append(panel);
    panels.append(panel);
    _ShowCounts();
}

void MainWindow_t::_RemoveItem(ItemView_t *panel) {
    panelLayout->removeWidget(panel);
    panels.removeOne(panel);
    for (auto node = NodeMap.begin(); node != NodeMap.end();)
        node = node.value() == panel ? NodeMap.erase(node) : std::next(node);
    if (panel->_Liveness()._NotAnswering())
        --notAnsweringCount;
    delete panel;
    _ShowCounts();
}

void MainWindow_t::_AnswersAgain() {
    --notAnsweringCount;
    _ShowCounts();
}

void MainWindow_t::_StopsAnswering() {
    ++notAnsweringCount;
    _ShowCounts();
}

// The title counts the nodes once there are any.
void MainWindow_t::_ShowCounts() {
    QString title = QStringLiteral("ternix36-control: ");
    if (site)
        title += site->_SiteName() + QStringLiteral(": ");
    title += panels.size() == 1 ? tr("1 node") : tr("%1 nodes").arg(panels.size());
    if (notAnsweringCount > 0)
        title += tr(", %1 not answering").arg(notAnsweringCount);
    setWindowTitle(title);
}

void MainWindow_t::_ProbeWindowClosed() {
    probeWindows->_CloseOldest();
}

void MainWindow_t::_ShowHint(const QString &text) {
    if (!columnHint)
        columnHint = new ColumnHint_t(scrollArea);
    columnHint->_Say(text);
}

void MainWindow_t::_AnswerWindowClosed(const Moment_t &probe, const QString &scope) {
    if (site)
        return;
    if (panels.isEmpty() && interfaceBox->count() > 0)
        _ShowHint(tr("No node answered on %1. Choose the interface on the nodes' link and press "
                     "%2.")
                      .arg(interfaceBox->currentText(), scanAction->toolTip()));
    int marked = 0;
    const qint64 nowMs = pClockMs();
    for (ItemView_t *panel : std::as_const(panels))
        if (panel->_Scope() == scope && panel->_ProbeExpired(probe, nowMs))
            ++marked;
    if (marked == 0)
        return;
    notAnsweringCount += marked;
    _ShowCounts();
}

void MainWindow_t::_Scan() {
    if (site) {
        // "All links", or a link of the bridge to ask.
        site->_Probe(interfaceBox->currentData().toString().section(u'/', 0, 0));
        return;
    }
    interfaceName = interfaceBox->itemData(interfaceBox->currentIndex(), Qt::UserRole).toString();
    receiveSocket->writeDatagram(Ternix36::ProbeDatagram(), Ternix36::ProbeAddress(interfaceName),
                                 Ternix36::NodePort);
    probeWindows->_Open(interfaceName);
}

void MainWindow_t::_ScanDataRead() {
    // Everything waiting is routed now, one datagram at a time in arrival
    // order, so that the panels lay out and paint once for all of it rather
    // than once per datagram. A time limit keeps the window responsive under a
    // flood, and a new panel ends the turn, since showing it is the heavy part;
    // what is left announces itself with the next readyRead().
    QElapsedTimer reading;
    reading.start();
    const qsizetype panels = NodeMap.size();
    do {
        QByteArray datagram(Ternix36::MaxDatagramSize, Qt::Uninitialized);
        QHostAddress sender;
        const qint64 length =
            receiveSocket->readDatagram(datagram.data(), datagram.size(), &sender);
        if (length < 0)
            return;
        datagram.truncate(length);
        _RouteDatagram(sender, datagram);
    } while (NodeMap.size() == panels && reading.elapsed() < ReadingTimeMs &&
             receiveSocket->hasPendingDatagrams());
}

void MainWindow_t::_AddSiteLink(const QString &bridge, const QString &link) {
    // In order of bridge and link, after "All links"; the choice stays as it is.
    const QString text = QStringLiteral("%1: %2").arg(bridge, link);
    int row = 1;
    while (row < interfaceBox->count() && interfaceBox->itemText(row) < text)
        ++row;
    const QSignalBlocker quiet(interfaceBox);
    interfaceBox->insertItem(row, text, QString(bridge + u'/' + link));
}

void MainWindow_t::_SiteConnected() {
    outageTimer->stop();
    outage.invalidate();
    siteStatus->hide();
    siteStatus->clear();
}

void MainWindow_t::_SiteFailed(SiteFailure_t failure, const QString &why) {
    const QString name = site->_SiteName();
    switch (failure) {
    case SiteFailure_t::Refused:
        outageTimer->stop();
        if (site->_HasUser())
            _ShowSiteStatus(tr("The broker %1 refused the login of %2 (%3). Trying again.")
                                .arg(name, site->_User(), why));
        else
            _ShowSiteStatus(tr("The broker %1 refused the login (%2): give a user name, as in "
                               "--site mqtt://USER@%1.")
                                .arg(name, why));
        if (askPassword)
            _AskPassword();
        return;
    case SiteFailure_t::Tls:
        outageTimer->stop();
        _ShowSiteStatus(tr("TLS with the broker %1 failed (%2). Nothing is sent without TLS: "
                           "check --ca-file, --cert and --key. Trying again.")
                            .arg(name, why));
        return;
    case SiteFailure_t::Unreachable:
        if (!outage.isValid()) {
            outage.start();
            outageSinceMs = pClockMs();
        }
        outageWhy = why;
        _ShowOutage();
        outageTimer->start();
        return;
    }
}

// One dialog at a time, not modal: the client keeps trying meanwhile, and
// every refusal before the typed password is in use is the old one's.
void MainWindow_t::_AskPassword() {
    if (passwordDialog || !passwordInUse)
        return;
    passwordDialog = new QInputDialog(this);
    passwordDialog->setAttribute(Qt::WA_DeleteOnClose);
    passwordDialog->setWindowTitle(tr("Password"));
    passwordDialog->setLabelText(
        tr("Password of %1 at the broker %2:").arg(site->_User(), site->_SiteName()));
    passwordDialog->setTextEchoMode(QLineEdit::Password);
    connect(passwordDialog, &QInputDialog::textValueSelected, this, [this](const QString &typed) {
        site->_SetPassword(typed);
        passwordInUse = false;
    });
    // Asked once when cancelled: the status line says what the broker answers.
    connect(passwordDialog, &QInputDialog::rejected, this, [this] { askPassword = false; });
    passwordDialog->open();
}

void MainWindow_t::_ShowSiteStatus(const QString &text) {
    siteStatus->setText(text);
    siteStatus->show();
}

void MainWindow_t::_ShowOutage() {
    const qint64 seconds = outage.isValid() ? outage.elapsed() / 1000 : 0;
    const QString lasting =
        seconds < 120 ? tr("%1 s").arg(seconds) : tr("%1 min").arg(seconds / 60);
    _ShowSiteStatus(tr("No connection to the broker %1 since %2 (%3): %4. Trying again; the panels "
                       "show what was last heard.")
                        .arg(site->_SiteName(),
                             QDateTime::fromMSecsSinceEpoch(outageSinceMs).toString(u"HH:mm:ss"),
                             lasting, outageWhy));
}
