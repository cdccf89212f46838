// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ItemView.h"

#include "app/MainWindow.h"
#include "panels/AccessibleEvents.h"
#include "panels/HistoryLoader.h"
#include "panels/HistoryMenu.h"
#include "panels/NodeNameLabel.h"
#include "panels/PanelGrid.h"
#include "panels/PanelMark.h"
#include "protocol/Clock.h"
#include "protocol/NodeKinds.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QUdpSocket>

namespace {
constexpr Qt::Alignment Centred = Qt::AlignHCenter | Qt::AlignVCenter;

// A scope as the interface name is written, its index in decimal: Qt gives a
// received datagram's scope as the interface's name where it knows it.
QString _InterfaceIndex(const QString &scope) {
    bool number = false;
    scope.toUInt(&number);
    if (scope.isEmpty() || number)
        return scope;
    const int index = QNetworkInterface::interfaceIndexFromName(scope);
    return index > 0 ? QString::number(index) : QString();
}
constexpr int EmptyFrameSide = 70;
} // namespace

const SitePlace_t *pNewPanelPlace = nullptr;

ItemView_t::ItemView_t(const QHostAddress &sender, const FrameLook_t &look)
    : nodeAddress(sender)
    , grid(new PanelGrid_t)
    , look(look)
    , history(Ternix36::_FindKind(look.kind)->type) {
    // The scope is fixed now: a later change of interface leaves this panel
    // alone. It is the link the datagram came in on, so that commands go back
    // there; only a datagram without one takes the chosen interface's.
    nodeAddress.setScopeId(_InterfaceIndex(sender.scopeId()));
    if (nodeAddress.scopeId().isEmpty())
        nodeAddress.setScopeId(pMainWindow->_InterfaceName());

    setLayout(grid);
    setFixedHeight(look.fixedHeight);
    setBackgroundRole(QPalette::Light);
    setAutoFillBackground(true);

    titleLabel = _CentredLabel(Ternix36::_Title(look.kind));
    titleLabel->setBackgroundRole(QPalette::Window);
    titleLabel->setAutoFillBackground(true);
    nameLabel = new NodeNameLabel_t(this);
    QString addressText = nodeAddress.toString().toLower();
    if (pNewPanelPlace) {
        place = *pNewPanelPlace;
        addressText += QStringLiteral(" (%1, %2)").arg(place->bridge, place->link);
    }
    addressLabel = _CentredLabel(addressText);
}

void ItemView_t::_PlaceCommonFrame() {
    emptyFrame = new QFrame(this);
    emptyFrame->setFixedSize(EmptyFrameSide, EmptyFrameSide);

    grid->addWidget(titleLabel, 0, 0, 1, look.titleWidth);
    grid->addWidget(emptyFrame, 0, 0, 4, 1);
    grid->addWidget(nameLabel, 1, 1, 2, 1);
    grid->addWidget(addressLabel, look.addressRow, 1, 1, 1);
}

QLabel *ItemView_t::_CentredLabel(const QString &text) {
    auto *label = new QLabel(text, this);
    label->setAlignment(Centred);
    return label;
}

QLabel *ItemView_t::_Caption(const QString &text) {
    QLabel *caption = _CentredLabel(text);
    caption->setBackgroundRole(QPalette::Midlight);
    caption->setAutoFillBackground(true);
    textColours._AddCaption(caption);
    return caption;
}

bool ItemView_t::_Heard(const Moment_t &now) {
    // A bridge says whether a site's node answers, not its reports: a
    // retained one may be old.
    if (place) {
        liveness._HeardThrough(now);
        return false;
    }
    if (!liveness._Heard(now))
        return false;
    _ShowLiveness();
    return true;
}

bool ItemView_t::_ProbeExpired(const Moment_t &probe, qint64 nowMs) {
    if (!liveness._ProbeExpired(probe))
        return false;
    history._NotAnswering(nowMs);
    _TellHistoryWindow();
    _ShowLiveness();
    return true;
}

bool ItemView_t::_SetAnswering(bool answering, const Moment_t &now) {
    if (!liveness._SetNotAnswering(!answering, now))
        return false;
    if (!answering) {
        history._NotAnswering(now.wallMs);
        _TellHistoryWindow();
    }
    _ShowLiveness();
    return true;
}

void ItemView_t::_Record(const Moment_t &now, const QByteArray &datagram) {
    history._Report(now, datagram);
    _TellHistoryWindow();
}

void ItemView_t::_TellHistoryWindow() {
    if (historyWindow)
        historyWindow->_Recorded();
}

void ItemView_t::_ShowLiveness() {
    const bool notAnswering = liveness._NotAnswering();
    _Mark()->_ShowNotAnswering(notAnswering);
    // Dimmed, in the palette's own shade for secondary text.
    const QPalette::ColorRole role =
        notAnswering ? QPalette::PlaceholderText : QPalette::WindowText;
    nameLabel->setForegroundRole(role);
    addressLabel->setForegroundRole(role);
    AccessibleEvents::_DescriptionChanged(this);
}

bool ItemView_t::_TellsLiveness(const QWidget *child) const {
    return child &&
           (child == titleLabel || child == nameLabel || child == addressLabel || child == mark);
}

QString ItemView_t::_NodeNameText() const {
    return nameLabel->text();
}

QString ItemView_t::_AddressText() const {
    return addressLabel->text();
}

QString ItemView_t::_AccessibleName() const {
    const QString name = nameLabel->text();
    return titleLabel->text() + QStringLiteral(", ") +
           (name.isEmpty() ? addressLabel->text() : name);
}

void ItemView_t::_ShowFound(bool found) {
    if (found || mark)
        _Mark()->_ShowFound(found);
}

QWidget *ItemView_t::_FocusTarget() {
    for (QWidget *widget = nextInFocusChain(); widget != this && isAncestorOf(widget);
         widget = widget->nextInFocusChain())
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
            widget->isVisibleTo(this))
            return widget;
    return this;
}

PanelMark_t *ItemView_t::_Mark() {
    if (!mark)
        mark = new PanelMark_t(this, emptyFrame, titleLabel, addressLabel);
    return mark;
}

void ItemView_t::_SendCommand(const QByteArray &command, quint16 port,
                              const NodeHistory_t::Sent_t &sent) {
    if (place) {
        place->send(command);
    } else {
        QUdpSocket socket;
        socket.writeDatagram(command, nodeAddress, port);
    }
    history._Command(_Now(), sent);
    _TellHistoryWindow();
}

QString ItemView_t::_HistoryName() const {
    const QString name = nameLabel->text();
    return name.isEmpty() ? addressLabel->text() : name;
}

qint64 ItemView_t::_NowMs() const {
    return pClockMs();
}

void ItemView_t::_ShowHistory() {
    if (!historyWindow) {
        QString error;
        historyWindow = HistoryLoader::_MakeWindow(*this, this, &error);
        if (!historyWindow) {
            QMessageBox::warning(
                this, QCoreApplication::translate("ItemView_t", "History"),
                QCoreApplication::translate("ItemView_t", "The history window cannot be shown:\n%1")
                    .arg(error));
            return;
        }
    }
    historyWindow->setWindowState(historyWindow->windowState() & ~Qt::WindowMinimized);
    historyWindow->show();
    historyWindow->raise();
    historyWindow->activateWindow();
}

void ItemView_t::contextMenuEvent(QContextMenuEvent *event) {
    HistoryMenu::_Popup(this, nullptr, event->globalPos());
}

void ItemView_t::keyPressEvent(QKeyEvent *event) {
    // Keys a control left alone come here.
    QWidget *control = focusWidget() && isAncestorOf(focusWidget()) ? focusWidget() : this;
    if (!HistoryMenu::_OpenFromKey(event, control))
        QFrame::keyPressEvent(event);
}

bool ItemView_t::eventFilter(QObject *watched, QEvent *event) {
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (!field || event->type() != QEvent::ContextMenu)
        return QFrame::eventFilter(watched, event);
    HistoryMenu::_Popup(this, field->createStandardContextMenu(),
                        static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
}

void ItemView_t::_FitToDesktop() {
    fitted = true;
    // Text fields have a context menu of their own, which gets the entry.
    for (QLineEdit *field : findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly))
        field->installEventFilter(this);
    fitting._FitToFont(this, grid, titleLabel, look.fixedHeight);
    textColours._FollowDesktop(this, titleLabel);
}

bool ItemView_t::event(QEvent *event) {
    // Qt has passed the change on to the panel's widgets before it tells the panel.
    const bool handled = QFrame::event(event);
    if (!fitted)
        return handled;
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::ApplicationFontChange:
    case QEvent::StyleChange:
        fitting._FitToFont(this, grid, titleLabel, look.fixedHeight);
        break;
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        textColours._FollowDesktop(this, titleLabel);
        break;
    default:
        break;
    }
    return handled;
}
