// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/PortHolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>

#include <unistd.h>

namespace {
// /proc/net/udp6: "sl local_address remote_address st ... uid timeout inode ...",
// the local address as 32 hex digits, a colon and the port in 4.
constexpr int LocalAddressField = 1;
constexpr int InodeField = 9;

// The inodes of the IPv6 UDP sockets bound to the port, as /proc/PID/fd
// names them: "socket:[INODE]".
QSet<QByteArray> _SocketsOn(quint16 port) {
    QSet<QByteArray> sockets;
    QFile table(QStringLiteral("/proc/net/udp6"));
    if (!table.open(QIODevice::ReadOnly))
        return sockets;
    const QByteArray portHex = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    table.readLine(); // the heading
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() <= InodeField)
            continue;
        const QByteArray &local = fields[LocalAddressField];
        if (local.endsWith(':' + portHex) && fields[InodeField] != "0")
            sockets.insert("socket:[" + fields[InodeField] + ']');
    }
    return sockets;
}

bool _Holds(const QString &processDirectory, const QSet<QByteArray> &sockets) {
    const QDir descriptors(processDirectory + QStringLiteral("/fd"));
    // Another user's descriptors list as nothing.
    for (const QString &descriptor :
         descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[64];
        const ssize_t length = ::readlink(
            QFile::encodeName(descriptors.filePath(descriptor)).constData(), target, sizeof target);
        if (length > 0 && sockets.contains(QByteArray(target, int(length))))
            return true;
    }
    return false;
}

// The program's name: its first argument without the folder, which is not cut
// to 15 characters as /proc/PID/comm is.
QString _ProgramName(const QString &processDirectory) {
    QFile commandLine(processDirectory + QStringLiteral("/cmdline"));
    if (commandLine.open(QIODevice::ReadOnly)) {
        const QByteArray first = commandLine.readAll().split('\0').value(0);
        if (!first.isEmpty())
            return QFileInfo(QFile::decodeName(first)).fileName();
    }
    QFile name(processDirectory + QStringLiteral("/comm"));
    if (name.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(name.readAll().trimmed());
    return QString();
}
} // namespace

QString _UdpPortHolder(quint16 port) {
    const QSet<QByteArray> sockets = _SocketsOn(port);
    if (sockets.isEmpty())
        return QString();
    const QString own = QString::number(::getpid());
    const QDir processes(QStringLiteral("/proc"));
    for (const QString &pid : processes.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        pid.toInt(&number);
        if (!number || pid == own)
            continue;
        const QString directory = processes.filePath(pid);
        if (!_Holds(directory, sockets))
            continue;
        const QString name = _ProgramName(directory);
        return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                              : QStringLiteral("%1 (process %2)").arg(name, pid);
    }
    return QString();
}
