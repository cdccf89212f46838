// SPDX-License-Identifier: GPL-3.0-or-later
#include "panels/PanelFactory.h"

#include "panels/ADPlugView.h"
#include "panels/BlindsView.h"
#include "panels/BrightView.h"
#include "panels/DimmerView.h"
#include "panels/PlugView.h"

ItemView_t *_CreatePanel(Ternix36::_NodeType type, const QHostAddress &sender,
                         const QByteArray &datagram) {
    switch (type) {
    case Ternix36::_NodeType::_Plug:
        return new PlugView_t(sender, datagram);
    case Ternix36::_NodeType::_Bright:
        return new BrightView_t(sender, datagram);
    case Ternix36::_NodeType::_ADPlug:
        return new ADPlugView_t(sender, datagram);
    case Ternix36::_NodeType::_Blinds:
        return new BlindsView_t(sender, datagram);
    case Ternix36::_NodeType::_Dimmer:
        return new DimmerView_t(sender, datagram);
    }
    return nullptr;
}
