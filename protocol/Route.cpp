// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Route.h"

#include "app/Clock.h"
#include "app/MainWindow.h"
#include "panels/ADPlugView.h"
#include "panels/BlindsView.h"
#include "panels/BrightView.h"
#include "panels/DimmerView.h"
#include "panels/PlugView.h"
#include "protocol/NodeMap.h"
#include "protocol/Protocol.h"
#include "protocol/ReportReader.h"

namespace {

// The kind table: which panel a NodeKind calls for.
ItemView_t *_CreatePanel(quint16 kind, const QHostAddress &sender, const QByteArray &datagram) {
    switch (kind) {
    case Ternix36::KindPlug:
        return new PlugView_t(sender, datagram);
    case Ternix36::KindBright:
    case Ternix36::KindBright2:
        return new BrightView_t(sender, datagram);
    case Ternix36::KindADPlug:
        return new ADPlugView_t(sender, datagram);
    case Ternix36::KindBlinds:
        return new BlindsView_t(sender, datagram);
    case Ternix36::KindDimmer:
        return new DimmerView_t(sender, datagram);
    default:
        return nullptr;
    }
}

} // namespace

void _RouteDatagram(const QHostAddress &sender, const QByteArray &datagram) {
    // Whatever the panel makes of it, the node was heard: one clock read.
    const qint64 nowMs = pClockMs();
    const NodeKey_t key = _NodeKey(sender);
    const auto known = NodeMap.constFind(key);
    if (known != NodeMap.constEnd()) {
        if (known.value()->_Heard(nowMs))
            pMainWindow->_AnswersAgain();
        known.value()->_DataRead(datagram);
        return;
    }

    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;
    ItemView_t *panel = _CreatePanel(report._U16(Ternix36::KindOffset), sender, datagram);
    if (!panel)
        return;
    panel->_Heard(nowMs);
    pMainWindow->_AddItem(panel);
    NodeMap.insert(key, panel);
}
