#include "app/MainWindow.h"

#include "app/InterfaceList.h"
#include "panels/ItemView.h"
#include "protocol/Protocol.h"
#include "protocol/Route.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QUdpSocket>
#include <QVBoxLayout>

MainWindow_t *pMainWindow = nullptr;

namespace {
// Longer datagrams are cut to this size; no node sends one.
constexpr qint64 MaxDatagramSize = 1024;
constexpr int MinimumWidth = 600;
} // namespace

MainWindow_t::MainWindow_t(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags) {
    auto *toolBar = new QToolBar(this);
    addToolBar(toolBar);

    interfaceBox = new QComboBox(this);
    toolBar->addWidget(interfaceBox);
    _FillInterfaceBox();

    QAction *scanAction = toolBar->addAction(tr("Scan"));
    connect(scanAction, &QAction::triggered, this, &MainWindow_t::_Scan);
    QAction *exitAction = toolBar->addAction(tr("Exit"));
    connect(exitAction, &QAction::triggered, this, &MainWindow_t::close);
    // Only now, so that filling the box sends no probe.
    connect(interfaceBox, &QComboBox::currentIndexChanged, this, &MainWindow_t::_Scan);

    auto *scrollArea = new QScrollArea;
    scrollArea->setWidgetResizable(true);
    panelContainer = new QFrame;
    panelLayout = new QVBoxLayout;
    panelContainer->setLayout(panelLayout);
    panelContainer->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    scrollArea->setWidget(panelContainer);
    setCentralWidget(scrollArea);

    receiveSocket = new QUdpSocket(this);
    if (!receiveSocket->bind(QHostAddress::AnyIPv6, Ternix36::ProgramPort,
                             QUdpSocket::ShareAddress))
        _ShowPortTaken();
    connect(receiveSocket, &QUdpSocket::readyRead, this, &MainWindow_t::_ScanDataRead);

    pMainWindow = this;
    setMinimumWidth(MinimumWidth);

    // The first probe leaves before the window is shown; answers wait in the socket.
    _Scan();
}

void MainWindow_t::_FillInterfaceBox() {
    for (const InterfaceChoice_t &choice : _UsableInterfaces(_DescribeAllInterfaces()))
        interfaceBox->insertItem(interfaceBox->count(), QIcon(), choice.text, choice.interfaceName);
}

// Without the port no node can be heard, and the empty column would look like
// a link without nodes. Said once, in a status bar that only this case
// creates; a permanent widget, so that no status tip wipes it out.
void MainWindow_t::_ShowPortTaken() {
    statusBar()->addPermanentWidget(
        new QLabel(tr("Port %1 is in use by another program: no node can be heard.")
                       .arg(Ternix36::ProgramPort)));
}

void MainWindow_t::_AddItem(ItemView_t *panel) {
    panelLayout->addWidget(panel);
}

void MainWindow_t::_Scan() {
    interfaceName = interfaceBox->itemData(interfaceBox->currentIndex(), Qt::UserRole).toString();
    receiveSocket->writeDatagram(Ternix36::ProbeDatagram(), Ternix36::ProbeAddress(interfaceName),
                                 Ternix36::NodePort);
}

void MainWindow_t::_ScanDataRead() {
    // One datagram per readyRead(): the socket announces the next one again.
    QByteArray datagram(MaxDatagramSize, Qt::Uninitialized);
    QHostAddress sender;
    const qint64 length = receiveSocket->readDatagram(datagram.data(), datagram.size(), &sender);
    if (length < 0)
        return;
    datagram.truncate(length);
    _RouteDatagram(sender, datagram);
}
