// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs tshark with the checkout's dissector (TERNIX36_DISSECTOR) on a capture
// and hands back its fields, one map per frame, or its whole text output.

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

class Tshark {
public:
    using Frame = QMap<QString, QString>;

    struct Run {
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
    };

    // Personal settings and plugins stay out of the runs. Wireshark 4.2 and
    // later load no script of the user's as root, so there tshark runs as
    // nobody, on a copy of the dissector that every user may read, and with the
    // capture as its standard input.
    Tshark() {
        environment.insert(QStringLiteral("HOME"), home.path());
        const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
        if (!nobody)
            return;
        const QString copy = scripts.filePath(QStringLiteral("ternix36.lua"));
        const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        if (!QFile::copy(dissector, copy) ||
            !QFile::setPermissions(scripts.path(), readable | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ExeGroup | QFile::ExeOther) ||
            !QFile::setPermissions(copy, readable) ||
            chown(qPrintable(home.path()), nobody->pw_uid, nobody->pw_gid) != 0)
            return;
        dissector = copy;
        asUser = {QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                  QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                  QStringLiteral("--clear-groups"), QStringLiteral("tshark")};
    }

    // Extra options (-o, -Y, -2) before the capture is read.
    Run run(const QString &capture, const QStringList &arguments,
            const QStringList &options = {}) const {
        QProcess tshark;
        tshark.setProcessEnvironment(environment);
        if (!asUser.isEmpty())
            tshark.setStandardInputFile(capture);
        start(tshark, QStringList{QStringLiteral("-n"), QStringLiteral("-X"),
                                  QStringLiteral("lua_script:") + dissector, QStringLiteral("-r"),
                                  asUser.isEmpty() ? capture : QStringLiteral("-")} +
                          options + arguments);
        Run result;
        if (!tshark.waitForFinished(60000))
            return result;
        result.exitCode = tshark.exitStatus() == QProcess::NormalExit ? tshark.exitCode() : -1;
        result.output = tshark.readAllStandardOutput();
        result.errors = tshark.readAllStandardError();
        return result;
    }

    // One map per frame from field name to its text; several occurrences
    // of a field are joined by '|'.
    QList<Frame> frames(const QString &capture, const QStringList &fields,
                        const QStringList &options = {}, Run *outcome = nullptr) const {
        QStringList arguments{QStringLiteral("-T"), QStringLiteral("fields"),
                              QStringLiteral("-E"), QStringLiteral("separator=/t"),
                              QStringLiteral("-E"), QStringLiteral("aggregator=|")};
        for (const QString &field : fields)
            arguments << QStringLiteral("-e") << field;
        const Run result = run(capture, arguments, options);
        if (outcome)
            *outcome = result;
        QList<Frame> frames;
        for (const QByteArray &line : result.output.split('\n')) {
            if (line.isEmpty())
                continue;
            const QStringList values = QString::fromUtf8(line).split(QLatin1Char('\t'));
            Frame frame;
            for (qsizetype i = 0; i < fields.size(); ++i)
                frame.insert(fields[i], i < values.size() ? values[i] : QString());
            frames.append(frame);
        }
        return frames;
    }

    // Another dissector of the same name, loaded first, would stand in for
    // the checkout's (an installed package, say).
    bool otherCopyLoaded() const {
        QProcess tshark;
        tshark.setProcessEnvironment(environment);
        start(tshark, {QStringLiteral("-G"), QStringLiteral("plugins")});
        tshark.waitForFinished(60000);
        return tshark.readAllStandardOutput().contains("ternix36.lua");
    }

private:
    void start(QProcess &tshark, const QStringList &arguments) const {
        if (asUser.isEmpty())
            tshark.start(QStringLiteral("tshark"), arguments);
        else
            tshark.start(QStringLiteral("setpriv"), asUser + arguments);
    }

    QTemporaryDir home;
    QTemporaryDir scripts;
    QString dissector = QStringLiteral(TERNIX36_DISSECTOR);
    QStringList asUser; // setpriv's arguments, as root
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};
