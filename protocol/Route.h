// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class ItemView_t;
struct Moment_t;
class QByteArray;
class QHostAddress;

// Hands a received datagram to its sender's panel, or, for a sender heard for
// the first time, creates the panel its NodeKind calls for and adds it to the
// main window. A new sender with no valid NodeKind is forgotten.
void _RouteDatagram(const QHostAddress &sender, const QByteArray &datagram);

// The two steps of routing, for datagrams that come another way (a site's
// broker): a datagram for a known node's panel, heard at `now`; and the panel
// made for a node's first datagram and added to the window, or nullptr when
// the datagram has no valid NodeKind.
void _DeliverDatagram(ItemView_t *panel, const Moment_t &now, const QByteArray &datagram);
ItemView_t *_AddPanelFor(const QHostAddress &sender, const Moment_t &now,
                         const QByteArray &datagram);

// Whether routing records each report in its node's history: always, but for
// the benchmark that weighs what recording costs.
extern bool pRecordHistory;
