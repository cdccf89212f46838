// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ItemView.h"

#include "app/MainWindow.h"
#include "panels/PanelAccessible.h"
#include "panels/PanelGrid.h"
#include "panels/PanelMark.h"

#include <QBrush>
#include <QFont>
#include <QGridLayout>
#include <QHash>
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

    titleLabel = _CentredLabel(QStringLiteral("TERNIX36 ") + QLatin1String(look.kindWord));
    titleLabel->setBackgroundRole(QPalette::Window);
    titleLabel->setAutoFillBackground(true);
    nameLabel = _CentredLabel();
    addressLabel = _CentredLabel(nodeAddress.toString().toLower());
}

void ItemView_t::_PlaceCommonFrame() {
    emptyFrame = new QFrame;
    emptyFrame->setFixedSize(EmptyFrameSide, EmptyFrameSide);

    grid->addWidget(titleLabel, 0, 0, 1, look.titleWidth);
    grid->addWidget(emptyFrame, 0, 0, 4, 1);
    grid->addWidget(nameLabel, 1, 1, 2, 1);
    grid->addWidget(addressLabel, look.addressRow, 1, 1, 1);
}

QPalette ItemView_t::_TitlePalette(Qt::GlobalColor colour) const {
    // Panels start from the same palette, so one title palette per colour,
    // implicitly shared, serves them all instead of a copy in every panel.
    struct Made_t {
        QPalette from;
        QPalette titlePalette;
    };
    static QHash<int, Made_t> made;
    const QPalette from = palette();
    const auto found = made.constFind(colour);
    if (found != made.constEnd() && found->from == from)
        return found->titlePalette;

    QPalette titlePalette = from;
    const QBrush brush(colour, Qt::SolidPattern);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        titlePalette.setBrush(group, QPalette::Window, brush);
    made.insert(colour, {from, titlePalette});
    return titlePalette;
}

void ItemView_t::_ShowTitlePalette(const QPalette &titlePalette) {
    if (&titlePalette == shownTitlePalette)
        return;
    titleLabel->setPalette(titlePalette);
    shownTitlePalette = &titlePalette;
}

QFont ItemView_t::_ValueFont(const QLabel *label) {
    QFont font = label->font();
    font.setWeight(QFont::Bold);
    font.setPointSize(font.pointSize() * 2);
    return font;
}

QLabel *ItemView_t::_CentredLabel(const QString &text) {
    auto *label = new QLabel(text);
    label->setAlignment(Centred);
    return label;
}

QLabel *ItemView_t::_Caption(const QString &text) {
    QLabel *caption = _CentredLabel(text);
    caption->setBackgroundRole(QPalette::Midlight);
    caption->setAutoFillBackground(true);
    return caption;
}

void ItemView_t::_SetFittedText(QLabel *label, const QString &text, int width) {
    label->setText(text);
    // The label's size hint is at least its minimum width: measure it at its own.
    label->setFixedWidth(width);
    label->setFixedWidth(qMax(width, label->sizeHint().width()));
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
    PanelAccessible_t::_DescriptionChanged(this);
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
