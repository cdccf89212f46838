// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writes UDP datagrams over IPv6 into a capture file (pcap, raw IPv6 link
// type) with correct lengths and checksums, as a capture on the link would
// hold them.

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QtEndian>

class PcapFile {
public:
    explicit PcapFile(const QString &path)
        : file(path) {
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        QByteArray header;
        append32(header, 0xA1B2C3D4);
        append16(header, 2);
        append16(header, 4);
        append32(header, 0);       // time zone
        append32(header, 0);       // accuracy
        append32(header, 65535);   // snapshot length
        append32(header, RawIpv6); // link type
        file.write(header);
    }

    bool isOpen() const { return file.isOpen(); }

    void add(const QString &source, quint16 sourcePort, const QString &destination,
             quint16 destinationPort, const QByteArray &payload) {
        const Q_IPV6ADDR from = QHostAddress(source).toIPv6Address();
        const Q_IPV6ADDR to = QHostAddress(destination).toIPv6Address();
        const QByteArray fromBytes(reinterpret_cast<const char *>(from.c), 16);
        const QByteArray toBytes(reinterpret_cast<const char *>(to.c), 16);
        const quint16 udpLength = quint16(8 + payload.size());

        QByteArray udp;
        appendBig16(udp, sourcePort);
        appendBig16(udp, destinationPort);
        appendBig16(udp, udpLength);
        appendBig16(udp, 0);
        udp += payload;
        QByteArray pseudoHeader = fromBytes + toBytes;
        appendBig16(pseudoHeader, 0);
        appendBig16(pseudoHeader, udpLength);
        pseudoHeader += QByteArray("\0\0\0\x11", 4);
        const quint16 checksum = onesComplement(pseudoHeader + udp);
        qToBigEndian(quint16(checksum == 0 ? 0xFFFF : checksum), udp.data() + 6);

        QByteArray packet;
        appendBig16(packet, 0x6000); // version 6, no traffic class, no flow label
        appendBig16(packet, 0);
        appendBig16(packet, udpLength);
        packet += char(UdpNextHeader);
        packet += char(64); // hop limit
        packet += fromBytes + toBytes + udp;

        QByteArray record;
        append32(record, ++count); // one second apart
        append32(record, 0);
        append32(record, quint32(packet.size()));
        append32(record, quint32(packet.size()));
        file.write(record + packet);
    }

    void close() { file.close(); }

private:
    static constexpr quint32 RawIpv6 = 229;
    static constexpr int UdpNextHeader = 17;

    static void append16(QByteArray &bytes, quint16 value) {
        bytes.append(reinterpret_cast<const char *>(&value), 2);
    }
    static void append32(QByteArray &bytes, quint32 value) {
        bytes.append(reinterpret_cast<const char *>(&value), 4);
    }
    static void appendBig16(QByteArray &bytes, quint16 value) {
        bytes.append(char(value >> 8)).append(char(value & 0xFF));
    }
    static quint16 onesComplement(const QByteArray &bytes) {
        quint32 sum = 0;
        for (qsizetype i = 0; i < bytes.size(); i += 2) {
            const quint32 high = quint8(bytes.at(i));
            const quint32 low = i + 1 < bytes.size() ? quint8(bytes.at(i + 1)) : 0;
            sum += high << 8 | low;
        }
        while (sum >> 16)
            sum = (sum & 0xFFFF) + (sum >> 16);
        return quint16(~sum);
    }

    QFile file;
    quint32 count = 0;
};
