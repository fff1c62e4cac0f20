#include "FixtureTools.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace lumenote::test {

int runProgram(const QString& program, const QStringList& args, int timeoutMs, QString* stderrOut) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000)) return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (stderrOut) *stderrOut = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool ffmpeg(const QStringList& args, int timeoutMs) {
    QString err;
    const int rc = runProgram(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args, timeoutMs, &err);
    if (rc != 0) ADD_FAILURE() << "ffmpeg " << args.join(' ').toStdString() << " failed (" << rc << "): " << err.toStdString();
    return rc == 0;
}

bool makeSpeechWav(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString err;
    const int rc = runProgram(QStringLiteral("espeak-ng"), {"-v", "en-us", "-s", "150", "-w", path, text}, 60000, &err);
    if (rc != 0) ADD_FAILURE() << "espeak-ng failed (" << rc << "): " << err.toStdString();
    return rc == 0;
}

bool writeExecutableScript(const QString& path, const QString& body) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write(body.toUtf8());
    f.close();
    return f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                            QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}

}  // namespace lumenote::test
