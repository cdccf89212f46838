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

void _RouteDatagram(const QHostAddress &sender, const QByteArray &datagram) {
    // Whatever the panel makes of it, the node was heard: one read of the clocks.
    const Moment_t now = _Now();
    const NodeKey_t key = _NodeKey(sender);
    const auto known = NodeMap.constFind(key);
    if (known != NodeMap.constEnd()) {
        if (known.value()->_Heard(now))
            pMainWindow->_AnswersAgain();
        known.value()->_DataRead(datagram);
        if (pRecordHistory)
            known.value()->_Record(now, datagram);
        return;
    }

    const ReportReader_t report(datagram);
    if (!report._IsReport())
        return;
    const Ternix36::KindEntry_t *kind = Ternix36::_FindKind(report._U16(Ternix36::KindOffset));
    if (!kind)
        return;
    ItemView_t *panel = _CreatePanel(kind->type, sender, datagram);
    panel->_Heard(now);
    if (pRecordHistory)
        panel->_Record(now, datagram);
    pMainWindow->_AddItem(panel);
    NodeMap.insert(key, panel);
}
