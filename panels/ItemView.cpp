// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/ItemView.h"

#include "app/MainWindow.h"
#include "panels/NodeNameLabel.h"
#include "panels/PanelAccessible.h"
#include "panels/PanelGrid.h"
#include "panels/PanelMark.h"
#include "panels/TextMeasure.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QUdpSocket>

namespace {
constexpr Qt::Alignment Centred = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int EmptyFrameSide = 70;
// A field keeps room for the largest interval, whatever the font.
const QString FieldSample = QStringLiteral("65535");
// QLineEdit's own room between its frame and its text, on either side.
constexpr int FieldTextMargin = 2;

// What the widget's text needs; zero where the grid alone decides.
QSize _TextNeed(QWidget *widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    const int frame = widget->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QString text = button->text();
        if (text.contains(QLatin1Char('&')))
            text.remove(QLatin1Char('&'));
        return QSize(_MeasureText(widget, text).advance, metrics.height()) +
               QSize(2 * frame, 2 * frame);
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget)) {
        const QMargins margins = field->textMargins();
        return QSize(_MeasureText(widget, FieldSample).advance + margins.left() + margins.right() +
                         2 * (frame + FieldTextMargin),
                     0);
    }
    return QSize();
}
} // namespace

ItemView_t::ItemView_t(const QHostAddress &sender, const FrameLook_t &look)
    : nodeAddress(sender)
    , grid(new PanelGrid_t)
    , look(look) {
    // The scope is fixed now: a later change of interface leaves this panel alone.
    nodeAddress.setScopeId(pMainWindow->_InterfaceName());
    PanelAccessible_t::_Install();

    setLayout(grid);
    setFixedHeight(look.fixedHeight);
    setBackgroundRole(QPalette::Light);
    setAutoFillBackground(true);

    titleLabel = _CentredLabel(QStringLiteral("TERNIX36 ") + QLatin1String(look.kindWord));
    titleLabel->setBackgroundRole(QPalette::Window);
    titleLabel->setAutoFillBackground(true);
    nameLabel = new NodeNameLabel_t(this);
    addressLabel = _CentredLabel(nodeAddress.toString().toLower());
}

ItemView_t::~ItemView_t() {
    // Told here rather than through a connection, which would cost every
    // panel a few hundred bytes.
    if (pMainWindow)
        pMainWindow->_ForgetItem(this);
}

void ItemView_t::_PlaceCommonFrame() {
    emptyFrame = new QFrame(this);
    emptyFrame->setFixedSize(EmptyFrameSide, EmptyFrameSide);

    grid->addWidget(titleLabel, 0, 0, 1, look.titleWidth);
    grid->addWidget(emptyFrame, 0, 0, 4, 1);
    grid->addWidget(nameLabel, 1, 1, 2, 1);
    grid->addWidget(addressLabel, look.addressRow, 1, 1, 1);
}

QFont ItemView_t::_ValueFont(const QLabel *label) {
    QFont font = label->font();
    font.setWeight(QFont::Bold);
    if (font.pointSize() > 0)
        font.setPointSize(font.pointSize() * 2);
    else
        font.setPixelSize(font.pixelSize() * 2);
    return font;
}

void ItemView_t::_UseValueFont(const QList<QLabel *> &labels) {
    const QFont valueFont = _ValueFont(labels.first());
    for (QLabel *label : labels)
        label->setFont(valueFont);
    valueLabels.append(labels);
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

void ItemView_t::_FixSize(QWidget *widget, QSize size) {
    if (size.height() > 0)
        widget->setFixedSize(size);
    else
        widget->setFixedWidth(size.width());
    fixedSizes.append({widget, size});
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
    _FitToFont();
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
        _FitToFont();
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

void ItemView_t::_FitToFont() {
    if (!valueLabels.isEmpty()) {
        // The title's font is never changed: it is the font a fresh label has.
        const QFont valueFont = _ValueFont(titleLabel);
        for (QLabel *label : std::as_const(valueLabels))
            if (label->font() != valueFont)
                label->setFont(valueFont);
    }
    for (const FixedSize_t &fixed : std::as_const(fixedSizes)) {
        if (auto *label = qobject_cast<QLabel *>(fixed.widget)) {
            _SetFittedText(label, label->text(), fixed.least.width());
            continue;
        }
        const QSize size = fixed.least.expandedTo(_TextNeed(fixed.widget));
        fixed.widget->setFixedWidth(size.width());
        if (fixed.least.height() > 0)
            fixed.widget->setFixedHeight(size.height());
    }

    // At the height that the panel's kind has, the grid shares out the rows
    // as it can, as it does at the default font. Only when a row could not
    // hold its letters does the panel grow, so that every row holds its whole
    // lines and its fixed widgets.
    int height = look.fixedHeight;
    if (grid->_Height(false) > height)
        height = qMax(height, grid->_Height(true));
    if (height != minimumHeight()) {
        grid->invalidate(); // so that the column measures this panel again
        setFixedHeight(height);
    }
}
