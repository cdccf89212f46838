// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/site/SitePlugin.h"

namespace {
// The window's connection is the bridge's client, its signals passed on.
class MqttSiteBroker_t : public SiteBroker_t {
public:
    MqttSiteBroker_t(const MqttClient_t::Settings_t &settings, QObject *parent)
        : SiteBroker_t(parent)
        , client(new MqttClient_t(settings, this)) {
        connect(client, &MqttClient_t::connectedToBroker, this, [this] {
            if (handlers.connected)
                handlers.connected();
        });
        connect(client, &MqttClient_t::stateChanged, this, [this](MqttClient_t::State_t state) {
            if (state == MqttClient_t::State_t::Connecting && handlers.connecting)
                handlers.connecting();
        });
        connect(client, &MqttClient_t::connectFailed, this,
                [this](MqttClient_t::Failure_t failure, const QString &why) {
                    if (handlers.failed)
                        handlers.failed(
                            failure == MqttClient_t::Failure_t::Refused ? SiteFailure_t::Refused
                            : failure == MqttClient_t::Failure_t::Tls   ? SiteFailure_t::Tls
                                                                      : SiteFailure_t::Unreachable,
                            why);
                });
        connect(client, &MqttClient_t::messageReceived, this,
                [this](const QString &topic, const QByteArray &payload, bool retained) {
                    if (handlers.message)
                        handlers.message(topic, payload, retained);
                });
    }

    bool _Start(QString *error) override { return client->_Start(error); }
    void _Publish(const QString &topic, const QByteArray &payload) override {
        client->_Publish(topic, payload, false, 0);
    }
    void _Subscribe(const QString &pattern) override { client->_Subscribe(pattern, 0); }
    void _SetPassword(const QString &password) override { client->_SetPassword(password); }

private:
    MqttClient_t *client;
};
} // namespace

SiteBroker_t *SitePlugin_t::_MakeBroker(const MqttClient_t::Settings_t &settings, QObject *parent) {
    return new MqttSiteBroker_t(settings, parent);
}
