// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/Liveness.h"

#include <QFrame>
#include <QHostAddress>
#include <QPalette>

class QByteArray;
class QFont;
class QGridLayout;
class QLabel;
class PanelMark_t;

// A node's panel, as routing knows it: one strip in the main window's column
// that reads every datagram its node sends.
//
// The base also builds the frame that every panel shares (title, name and
// address labels, the empty 70 x 70 frame) and sends the panel's commands.
class ItemView_t : public QFrame {
public:
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
    void _ShowFound(bool found);
    // The first control that takes the keyboard focus, or the panel itself.
    QWidget *_FocusTarget();

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

    // A copy of the panel's palette whose window brush is the given colour;
    // set on the title label it colours the title bar.
    QPalette _TitlePalette(Qt::GlobalColor colour) const;
    // Shows one of the panel's title palettes on its title bar.
    void _ShowTitlePalette(const QPalette &titlePalette);
    // Bold at twice the label's point size: the font of the big values.
    static QFont _ValueFont(const QLabel *label);
    static QLabel *_CentredLabel(const QString &text = QString());
    // The small filled captions under the values ("Real", "Brightness"...).
    static QLabel *_Caption(const QString &text);
    // Sets the text of a value label of the given fixed width. A text wider
    // than that widens the label instead: centred and clipped, it would lose
    // its first digit or its sign and show another number.
    static void _SetFittedText(QLabel *label, const QString &text, int width);

    // One datagram to the node, from a socket that lives for this call only.
    void _SendCommand(const QByteArray &command, quint16 port);

    QHostAddress nodeAddress;
    QGridLayout *grid;
    QLabel *titleLabel;
    QLabel *nameLabel;
    QLabel *addressLabel;

private:
    PanelMark_t *_Mark();
    void _ShowLiveness();

    FrameLook_t look;
    Liveness_t liveness;
    QFrame *emptyFrame = nullptr;
    PanelMark_t *mark = nullptr; // made when first needed
    // Setting a palette, even the one already shown, makes Qt resolve and
    // pass it on to the label again: done only when the colour changes.
    const QPalette *shownTitlePalette = nullptr;
};
