// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/NodeNameLabel.h"
#include "panels/PanelGrid.h"
#include "panels/PanelPalette.h"
#include "protocol/Liveness.h"

#include <QFrame>
#include <QHostAddress>
#include <QList>
#include <QPalette>
#include <QSize>

class QByteArray;
class QFont;
class QLabel;
class PanelMark_t;

// A node's panel, as routing knows it: one strip in the main window's column
// that reads every datagram its node sends.
//
// The base also builds the frame that every panel shares (title, name and
// address labels, the empty 70 x 70 frame) and sends the panel's commands.
//
// Its fixed sizes are those of the default font. At a larger desktop font, or
// a larger scale, they are least sizes: a widget whose text needs more grows,
// and so does the panel's height when its rows need it. Its texts' colours
// follow the desktop's palette (PanelPalette_t). Both are worked out when the
// font, style or palette changes, never for a report.
class ItemView_t : public QFrame {
public:
    ~ItemView_t() override;

    virtual void _DataRead(const QByteArray &datagram) = 0;

    // Any datagram from the node, read or not, at this moment (ms since the
    // epoch). True when it cleared the not-answering mark.
    bool _Heard(qint64 nowMs);
    // The answer window of a probe on the panel's interface, sent at probeMs,
    // has closed. True when it newly marked the node as not answering.
    bool _ProbeExpired(qint64 probeMs);
    const Liveness_t &_Liveness() const { return liveness; }
    // The interface the node was first heard on, as its address's scope.
    QString _Scope() const { return nodeAddress.scopeId(); }
    // Whether `child` (under the pointer) is one of the parts that tell when
    // the node was last heard: title, name, address or the mark.
    bool _TellsLiveness(const QWidget *child) const;

    // What find looks in, and how it shows the panel it chose.
    QString _NodeNameText() const;
    QString _AddressText() const;
    // The kind's title and the node's name, or its address while no name is
    // known (and for the blinds, which send none): "TERNIX36 Plug, Desk lamp".
    QString _AccessibleName() const;
    void _ShowFound(bool found);
    // The first control that takes the keyboard focus, or the panel itself.
    QWidget *_FocusTarget();
    bool event(QEvent *event) override;

protected:
    struct FrameLook_t {
        const char *kindWord; // "Plug" gives the title "TERNIX36 Plug"
        int fixedHeight;
        int titleWidth; // columns spanned by the title
        int addressRow;
    };

    // Builds the frame up to the address label; the panel then creates its
    // own widgets and calls _PlaceCommonFrame before its own placements.
    ItemView_t(const QHostAddress &sender, const FrameLook_t &look);

    void _PlaceCommonFrame();

    // Title palettes, made and shown as PanelPalette_t makes and shows them.
    static QPalette _TitlePalette(Qt::GlobalColor colour) {
        return PanelPalette_t::_TitlePalette(colour);
    }
    void _ShowTitlePalette(const QPalette &titlePalette) {
        textColours._ShowTitlePalette(titleLabel, titlePalette);
    }
    // Bold at twice the label's point size: the font of the big values.
    static QFont _ValueFont(const QLabel *label);
    // Gives the labels the value font, now and whenever the font changes.
    void _UseValueFont(const QList<QLabel *> &labels);
    // Labels and frames are made as the panel's children: a widget made
    // without a parent is a window until it is placed, and Qt keeps what it
    // learnt of it as a window for good, a few hundred bytes a widget. The
    // controls are still placed into the panel in the grid's order, which is
    // the order Tab takes.
    QLabel *_CentredLabel(const QString &text = QString());
    // The small filled captions under the values ("Real", "Brightness"...).
    QLabel *_Caption(const QString &text);
    // Fixes the widget's size (a zero height leaves the height free) at the
    // default font; at a larger font it is the least size the widget takes.
    void _FixSize(QWidget *widget, QSize size);
    // Sizes and colours for the font and palette now in force; the panel
    // calls it once all its widgets are placed, before its first report.
    void _FitToDesktop();
    // Sets the text of a value label of the given fixed width. A text wider
    // than that widens the label instead: centred and clipped, it would lose
    // its first digit or its sign and show another number.
    static void _SetFittedText(QLabel *label, const QString &text, int width);

    // One datagram to the node, from a socket that lives for this call only.
    void _SendCommand(const QByteArray &command, quint16 port);

    QHostAddress nodeAddress;
    PanelGrid_t *grid;
    QLabel *titleLabel;
    NodeNameLabel_t *nameLabel;
    QLabel *addressLabel;

private:
    PanelMark_t *_Mark();
    void _ShowLiveness();

    FrameLook_t look;
    Liveness_t liveness;
    QFrame *emptyFrame = nullptr;
    PanelMark_t *mark = nullptr; // made when first needed
    struct FixedSize_t {
        QWidget *widget;
        QSize least;
    };

    void _FitToFont();

    QList<FixedSize_t> fixedSizes;
    QList<QLabel *> valueLabels;
    PanelPalette_t textColours;
    bool fitted = false; // the panel is complete: its sizes follow the font
};
