// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs tshark with the checkout's dissector (TERNIX36_DISSECTOR) on a capture
// and hands back its fields, one map per frame, or its whole text output.

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class Tshark {
public:
    using Frame = QMap<QString, QString>;

    struct Run {
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
    };

    // Personal settings and plugins stay out of the runs.
    Tshark() { environment.insert(QStringLiteral("HOME"), home.path()); }

    // Extra options (-o, -Y, -2) before the capture is read.
    Run run(const QString &capture, const QStringList &arguments,
            const QStringList &options = {}) const {
        QProcess tshark;
        tshark.setProcessEnvironment(environment);
        tshark.start(QStringLiteral("tshark"),
                     QStringList{QStringLiteral("-n"), QStringLiteral("-X"),
                                 QStringLiteral("lua_script:" TERNIX36_DISSECTOR),
                                 QStringLiteral("-r"), capture} +
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
        tshark.start(QStringLiteral("tshark"), {QStringLiteral("-G"), QStringLiteral("plugins")});
        tshark.waitForFinished(60000);
        return tshark.readAllStandardOutput().contains("ternix36.lua");
    }

private:
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};
