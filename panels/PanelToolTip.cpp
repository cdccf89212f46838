// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelToolTip.h"

#include "app/Clock.h"
#include "panels/ItemView.h"
#include "panels/LivenessText.h"

#include <QHelpEvent>
#include <QToolTip>

PanelToolTip_t *PanelToolTip_t::_Instance() {
    static PanelToolTip_t instance;
    return &instance;
}

bool PanelToolTip_t::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::ToolTip)
        return false;
    auto *panel = dynamic_cast<ItemView_t *>(watched);
    const auto *help = static_cast<QHelpEvent *>(event);
    QWidget *child = panel ? panel->childAt(help->pos()) : nullptr;
    if (!panel || !panel->_TellsLiveness(child))
        return false;
    const QString text = _LivenessText(panel->_Liveness(), pClockMs(), LivenessTextForm_t::ToolTip);
    if (text.isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), text, child);
    return true;
}
