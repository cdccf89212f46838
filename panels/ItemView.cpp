// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ItemView.h"

#include "app/MainWindow.h"
#include "panels/AccessibleEvents.h"
#include "panels/NodeNameLabel.h"
#include "panels/PanelGrid.h"
#include "panels/PanelMark.h"
#include "protocol/NodeKinds.h"

#include <QEvent>
#include <QLabel>
#include <QUdpSocket>

namespace {
constexpr Qt::Alignment Centred = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int EmptyFrameSide = 70;
} // namespace

ItemView_t::ItemView_t(const QHostAddress &sender, const FrameLook_t &look)
    : nodeAddress(sender)
    , grid(new PanelGrid_t)
    , look(look) {
    // The scope is fixed now: a later change of interface leaves this panel alone.
    nodeAddress.setScopeId(pMainWindow->_InterfaceName());

    setLayout(grid);
    setFixedHeight(look.fixedHeight);
    setBackgroundRole(QPalette::Light);
    setAutoFillBackground(true);

    titleLabel = _CentredLabel(Ternix36::_Title(look.kindWord));
    titleLabel->setBackgroundRole(QPalette::Window);
    titleLabel->setAutoFillBackground(true);
    nameLabel = new NodeNameLabel_t(this);
    addressLabel = _CentredLabel(nodeAddress.toString().toLower());
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

bool ItemView_t::_Heard(qint64 nowMs) {
    if (!liveness._Heard(nowMs))
        return false;
    _ShowLiveness();
    return true;
}

bool ItemView_t::_ProbeExpired(qint64 probeMs) {
    if (!liveness._ProbeExpired(probeMs))
        return false;
    _ShowLiveness();
    return true;
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

void ItemView_t::_SendCommand(const QByteArray &command, quint16 port) {
    QUdpSocket socket;
    socket.writeDatagram(command, nodeAddress, port);
}

void ItemView_t::_FitToDesktop() {
    fitted = true;
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
