// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mqtt/MqttClient.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtPlugin>

#include <functional>

// What the window and the site module share. The module holds the MQTT
// client with libmosquitto and OpenSSL, and is loaded only for --site, so that
// the one-link window starts without loading them. It reaches the window only
// through these interfaces, whose functions are all virtual or inline.

// Why a connection was not made or was lost: the broker refused the login,
// TLS failed (an untrusted certificate among others), or the broker could
// not be reached or dropped us.
enum class SiteFailure_t { Refused, Tls, Unreachable };

// A connection to a site's broker, as MqttClient_t keeps it: trying until it
// is deleted, with its back-off and its TLS rules.
class SiteBroker_t : public QObject {
public:
    using QObject::QObject;

    // What it says, each called on the window's thread; any may be empty.
    struct Handlers_t {
        std::function<void()> connected;
        std::function<void()> connecting; // a new try, with the settings of now
        std::function<void(SiteFailure_t failure, const QString &why)> failed;
        std::function<void(const QString &topic, const QByteArray &payload, bool retained)> message;
    };

    // Starts connecting; false with the reason when TLS cannot be set up.
    virtual bool _Start(QString *error) = 0;
    // At QoS 0, not retained; dropped while not connected.
    virtual void _Publish(const QString &topic, const QByteArray &payload) = 0;
    virtual void _Subscribe(const QString &pattern) = 0;
    virtual void _SetPassword(const QString &password) = 0;

    Handlers_t handlers;
};

class SiteBrokerMaker_t {
public:
    virtual ~SiteBrokerMaker_t() = default;
    virtual SiteBroker_t *_MakeBroker(const MqttClient_t::Settings_t &settings,
                                      QObject *parent) = 0;
};

#define SiteBrokerMaker_iid "org.ternix36.control.SiteBrokerMaker/1"
Q_DECLARE_INTERFACE(SiteBrokerMaker_t, SiteBrokerMaker_iid)
