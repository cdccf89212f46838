// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/SiteModule.h"

// The site module's entry: MQTT connections for the window's site mode.
class SitePlugin_t : public QObject, public SiteBrokerMaker_t {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SiteBrokerMaker_iid)
    Q_INTERFACES(SiteBrokerMaker_t)

public:
    SiteBroker_t *_MakeBroker(const MqttClient_t::Settings_t &settings, QObject *parent) override;
};
