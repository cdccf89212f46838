// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QByteArray;
class QHostAddress;

// Hands a received datagram to its sender's panel, or, for a sender heard for
// the first time, creates the panel its NodeKind calls for and adds it to the
// main window. A new sender with no valid NodeKind is forgotten.
void _RouteDatagram(const QHostAddress &sender, const QByteArray &datagram);

// Whether routing records each report in its node's history: always, but for
// the benchmark that weighs what recording costs.
extern bool pRecordHistory;
