// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelToolTip.h"

#include "panels/ItemView.h"
#include "panels/LivenessText.h"
#include "protocol/Clock.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

PanelToolTip_t::PanelToolTip_t(QWidget *column)
    : QObject(column)
    , column(column) {
    column->installEventFilter(this);
}

bool PanelToolTip_t::eventFilter(QObject *watched, QEvent *event) {
    if (watched != column || event->type() != QEvent::ToolTip)
        return false;
    const auto *help = static_cast<QHelpEvent *>(event);
    QWidget *child = column->childAt(help->pos());
    QWidget *panelWidget = child;
    while (panelWidget && panelWidget->parentWidget() != column)
        panelWidget = panelWidget->parentWidget();
    const auto *panel = dynamic_cast<const ItemView_t *>(panelWidget);
    if (!panel || !panel->_TellsLiveness(child))
        return false;
    const QString text = _LivenessText(panel->_Liveness(), _Now(), LivenessTextForm_t::ToolTip);
    if (text.isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), text, child);
    return true;
}
