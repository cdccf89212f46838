// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Route.h"

#include "app/MainWindow.h"
#include "panels/ItemView.h"
#include "panels/PanelFactory.h"
#include "protocol/Clock.h"
#include "protocol/NodeKinds.h"
#include "protocol/NodeMap.h"
#include "protocol/ReportReader.h"

bool pRecordHistory = true;

void _DeliverDatagram(ItemView_t *panel, const Moment_t &now, const QByteArray &datagram) {
    if (panel->_Heard(now))
        pMainWindow->_AnswersAgain();
    panel->_DataRead(datagram);
    if (pRecordHistory)
        panel->_Record(now, datagram);
}

ItemView_t *_AddPanelFor(const QHostAddress &sender, const Moment_t &now,
                         const QByteArray &datagram) {
    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return nullptr;
    const Ternix36::KindEntry_t *kind = Ternix36::_FindKind(report._U16(Ternix36::KindOffset));
    if (!kind)
        return nullptr;
    ItemView_t *panel = _CreatePanel(kind->type, sender, datagram);
    panel->_Heard(now);
    if (pRecordHistory)
        panel->_Record(now, datagram);
    pMainWindow->_AddItem(panel);
    return panel;
}

void _RouteDatagram(const QHostAddress &sender, const QByteArray &datagram) {
    // Whatever the panel makes of it, the node was heard: one read of the clocks.
    const Moment_t now = _Now();
    const NodeKey_t key = _NodeKey(sender);
    const auto known = NodeMap.constFind(key);
    if (known != NodeMap.constEnd()) {
        _DeliverDatagram(known.value(), now, datagram);
        return;
    }
    if (ItemView_t *panel = _AddPanelFor(sender, now, datagram))
        NodeMap.insert(key, panel);
}
