#include "FixtureTools.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QFileInfo>
#include <QProcess>

#include <array>

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

QByteArray randomBytes(int size, quint32 seed) {
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    gen.fillRange(reinterpret_cast<quint32*>(b.data()), size / 4);
    return b;
}

QProcessEnvironment isolatedMachineEnvironment(const QString& home) {
    QDir().mkpath(home + "/run");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_RUNTIME_DIR", home + "/run");
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/no-bus");
    env.remove("HF_HUB_CACHE");
    env.remove("HF_HOME");
    for (const char* url : {"HF_ENDPOINT", "LUMENOTE_ANTHROPIC_URL", "LUMENOTE_GITHUB_API_URL", "LUMENOTE_GITHUB_URL"})
        env.insert(url, "http://127.0.0.1:9");
    return env;
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

namespace {

quint32 crc32Of(const QByteArray& data) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : data) crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void put16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v) {
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

}  // namespace

bool writeZipArchive(const QString& path, const QList<QPair<QString, QByteArray>>& entries) {
    QByteArray out;
    QByteArray central;
    for (const auto& [name, data] : entries) {
        const QByteArray fileName = name.toUtf8();
        const quint32 crc = crc32Of(data);
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);  // local file header
        put16(out, 10);          // version needed: stored
        put16(out, 0);           // flags
        put16(out, 0);           // method: stored
        put16(out, 0);           // time
        put16(out, 0x21);        // date: 1980-01-01
        put32(out, crc);
        put32(out, quint32(data.size()));
        put32(out, quint32(data.size()));
        put16(out, quint16(fileName.size()));
        put16(out, 0);
        out += fileName;
        out += data;

        put32(central, 0x02014b50);  // central directory entry
        put16(central, 0x031E);      // made by: Unix, zip format 3.0
        put16(central, 10);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, quint32(data.size()));
        put32(central, quint32(data.size()));
        put16(central, quint16(fileName.size()));
        put16(central, 0);  // extra
        put16(central, 0);  // comment
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, quint32(0100755) << 16);
        put32(central, offset);
        central += fileName;
    }
    const quint32 centralOffset = quint32(out.size());
    out += central;
    put32(out, 0x06054b50);  // end of central directory
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralOffset);
    put16(out, 0);

    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(out) == out.size();
}

bool makeTestModel(const QString& folder, const QStringList& args) {
    const QString tool = QString::fromStdString(binaryDir()) + QStringLiteral("/tools/make-test-model");
    QString err;
    const int rc = runProgram(tool, QStringList{"--out", folder} + args, 120000, &err);
    if (rc != 0) ADD_FAILURE() << "make-test-model failed (" << rc << "): " << err.toStdString();
    return rc == 0;
}

bool makeLectureVideo(const QString& path, const QList<FixtureSlide>& slides, const QString& narration, int width, int height) {
    const QString work = path + QStringLiteral(".parts");
    QDir().mkpath(work);
    double total = 0;
    QStringList filters;
    int n = 0;
    // Texts go through files so that no character needs filter-graph escaping.
    auto addText = [&](const QString& text, int size, int x, int y, double from, double to) {
        const QString file = QStringLiteral("%1/text%2.txt").arg(work).arg(n++);
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly)) return;
        f.write(text.toUtf8());
        f.close();
        filters << QStringLiteral("drawtext=textfile=%1:fontsize=%2:fontcolor=black:x=%3:y=%4:enable='between(t,%5,%6)'")
                       .arg(file).arg(size).arg(x).arg(y).arg(from, 0, 'f', 3).arg(to - 0.001, 0, 'f', 3);
    };
    for (const FixtureSlide& slide : slides) {
        const double from = total, to = total + slide.seconds;
        addText(slide.title, height / 10, width / 16, height / 9, from, to);
        for (int i = 0; i < slide.lines.size(); ++i)
            addText(QStringLiteral("- ") + slide.lines[i], height / 16, width / 10, height / 3 + i * height / 10, from, to);
        total = to;
    }
    const QString duration = QString::number(total, 'f', 3);
    QStringList args{"-f", "lavfi", "-i", QStringLiteral("color=c=white:s=%1x%2:r=10:d=%3").arg(width).arg(height).arg(duration)};
    if (narration.isEmpty()) {
        args << "-f" << "lavfi" << "-i" << QStringLiteral("anullsrc=r=22050:cl=mono:d=%1").arg(duration);
    } else {
        const QString speech = work + QStringLiteral("/narration.wav");
        if (!makeSpeechWav(speech, narration)) return false;
        args << "-i" << speech;
    }
    args << "-filter_complex" << QStringLiteral("[0:v]%1[v];[1:a]apad[a]").arg(filters.isEmpty() ? QStringLiteral("null") : filters.join(','))
         << "-map" << "[v]" << "-map" << "[a]" << "-t" << duration << "-c:v" << "libx264" << "-preset" << "ultrafast"
         << "-pix_fmt" << "yuv420p" << "-c:a" << "aac" << "-b:a" << "64k" << path;
    const bool ok = ffmpeg(args, 300000);
    QDir(work).removeRecursively();
    return ok;
}

}  // namespace lumenote::test
