// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panels/HistoryModule.h"
#include "panels/NodeNameLabel.h"
#include "panels/PanelFit.h"
#include "panels/PanelGrid.h"
#include "panels/PanelPalette.h"
#include "protocol/Liveness.h"
#include "protocol/NodeHistory.h"
#include "protocol/NodeKinds.h"

#include <QFrame>
#include <QHostAddress>
#include <QList>
#include <QPalette>
#include <QPointer>
#include <QSize>

#include <functional>
#include <optional>

class QByteArray;
class QLabel;
class PanelMark_t;

// Where a node of a site is, for a panel made from a report that a bridge
// passed through a broker: its bridge and link, and how its commands reach it.
struct SitePlace_t {
    QString bridge;
    QString link;
    std::function<void(const QByteArray &command)> send;
};
// Set while a site's panel is made: the panel takes its place from it.
extern const SitePlace_t *pNewPanelPlace;

// A node's panel, as routing knows it: one strip in the main window's column
// that reads every datagram its node sends.
//
// The base also builds the frame that every panel shares (title, name and
// address labels, the empty 70 x 70 frame) and sends the panel's commands.
//
// Its sizes follow the desktop's font (PanelFit_t), its texts' colours the
// desktop's palette (PanelPalette_t). Both are worked out when the font,
// style or palette changes, never for a report.
//
// It also keeps the node's history (NodeHistory_t), which the context menu's
// "History..." shows in a window of its own.
class ItemView_t : public QFrame, public HistorySource_t {
public:
    virtual void _DataRead(const QByteArray &datagram) = 0;
    // Records the datagram, heard `now`, in the node's history.
    void _Record(const Moment_t &now, const QByteArray &datagram);

    // Any datagram from the node, read or not, at `now`. True when it cleared
    // the not-answering mark.
    bool _Heard(const Moment_t &now);
    // The answer window of a probe on the panel's interface, sent at `probe`,
    // has closed at nowMs (ms since the epoch, for the history). True when it
    // newly marked the node as not answering.
    bool _ProbeExpired(const Moment_t &probe, qint64 nowMs);
    const Liveness_t &_Liveness() const { return liveness; }
    // A site's node, marked as its bridge says, at `now`; true when the mark changed.
    bool _SetAnswering(bool answering, const Moment_t &now);
    // Made from a broker's report: its commands go back through the broker.
    bool _InSite() const { return place.has_value(); }
    // The interface the node was first heard on, as its address's scope:
    // its index, as the interface name is written.
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

    // Opens the node's history window, or brings it back (from minimised
    // too) and raises it when it is open.
    void _ShowHistory();
    HistoryView_t *_HistoryWindow() const { return historyWindow; }

    const NodeHistory_t &_History() const override { return history; }
    // Settled on the panel's own clocks: waits are measured on the monotonic one.
    void _SettleHistory() override { history._Settle(_Now()); }
    QString _HistoryName() const override;
    qint64 _NowMs() const override;

protected:
    struct FrameLook_t {
        Ternix36::NodeKind kind; // gives the title, "TERNIX36 Plug", and what is recorded
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
    // The value font, fixed sizes and fitted texts, which follow the
    // desktop's font as PanelFit_t makes them.
    void _UseValueFont(const QList<QLabel *> &labels) { fitting._UseValueFont(labels); }
    void _FixSize(QWidget *widget, QSize size) { fitting._FixSize(widget, size); }
    static void _SetFittedText(QLabel *label, const QString &text, int width) {
        PanelFit_t::_SetFittedText(label, text, width);
    }
    // Labels and frames are made as the panel's children: a widget made
    // without a parent is a window until it is placed, and Qt keeps what it
    // learnt of it as a window for good, a few hundred bytes a widget. The
    // controls are still placed into the panel in the grid's order, which is
    // the order Tab takes.
    QLabel *_CentredLabel(const QString &text = QString());
    // The small filled captions under the values ("Real", "Brightness"...).
    QLabel *_Caption(const QString &text);
    // Sizes and colours for the font and palette now in force; the panel
    // calls it once all its widgets are placed, before its first report.
    void _FitToDesktop();

    // One datagram to the node, from a socket that lives for this call only,
    // recorded with the button that sent it and what it asked of the node.
    void _SendCommand(const QByteArray &command, quint16 port, const NodeHistory_t::Sent_t &sent);

    // The context menu, on the panel and on its text fields, whose own menu
    // it extends; Shift+F10 opens it as the Menu key does.
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    QHostAddress nodeAddress;
    PanelGrid_t *grid;
    QLabel *titleLabel;
    NodeNameLabel_t *nameLabel;
    QLabel *addressLabel;

private:
    PanelMark_t *_Mark();
    void _ShowLiveness();
    void _TellHistoryWindow();

    FrameLook_t look;
    std::optional<SitePlace_t> place;
    Liveness_t liveness;
    QFrame *emptyFrame = nullptr;
    PanelMark_t *mark = nullptr; // made when first needed
    PanelFit_t fitting;
    PanelPalette_t textColours;
    NodeHistory_t history;
    QPointer<HistoryView_t> historyWindow;
    bool fitted = false; // the panel is complete: its sizes follow the font
};
