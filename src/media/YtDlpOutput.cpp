#include "media/YtDlpOutput.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <cmath>

namespace lumenote {

using namespace Qt::StringLiterals;

namespace {

QString absoluteToWorkingDirectory(const QString& path) {
    if (path.isEmpty() || QDir::isAbsolutePath(path)) return path;
    return QDir::currentPath() + QLatin1Char('/') + path;
}

std::optional<QString> jsonString(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString()) return std::nullopt;
    return v.toString();
}

}  // namespace

QStringList ytDlpDownloadArguments(const QString& folder, const QString& urlString, bool forceRefresh,
                                   const std::optional<QString>& ffmpegPath) {
    QStringList args{u"--output"_s, folder + u"/%(title)s.%(ext)s"_s,
                     u"--newline"_s,
                     u"--no-warnings"_s,
                     u"--socket-timeout"_s, u"30"_s,
                     u"--retries"_s, u"3"_s};
    if (forceRefresh) args << u"--force-overwrites"_s;
    if (ffmpegPath) {
        args << u"--ffmpeg-location"_s << *ffmpegPath << u"--format"_s << kYtDlpMergeFormat
             << u"--merge-output-format"_s << u"mp4"_s;
    } else {
        args << u"--format"_s << kYtDlpPremergedFormat;
    }
    args << urlString;
    return args;
}

bool isDownloadableURL(const QString& text) {
    if (text.isEmpty()) return false;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) return false;
    // QUrl lower-cases the scheme; the check is on the text as typed.
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0 || url.scheme().isEmpty()) return false;
    return text.left(colon).startsWith(QLatin1String("http"));
}

QStringList splitOutputChunk(const QByteArray& chunk) {
    if (chunk.isEmpty()) return {};
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(chunk);
    if (decoder.hasError()) return {};
    QStringList pieces;
    for (const QString& piece : text.split(QLatin1Char('\n'))) {
        if (!piece.isEmpty()) pieces << piece;
    }
    return pieces;
}

void applyYtDlpLine(const QString& line, DownloadLineState& state, QStringList* log) {
    if (line.contains(QLatin1String("[download]")) && line.contains(QLatin1Char('%'))) {
        static const QRegularExpression percent(u"(\\d+\\.?\\d*)%"_s);
        const QRegularExpressionMatch m = percent.match(line);
        if (m.hasMatch()) {
            bool ok = false;
            double value = m.captured(1).toDouble(&ok);
            if (!ok || !std::isfinite(value)) value = 0;
            state.progress = value / 100.0;
            // Truncated as text: a number of twenty digits does not fit an integer.
            state.statusText = u"Downloading… %1%"_s.arg(QString::number(std::trunc(value), 'f', 0));
        }
    }

    if (line.contains(QLatin1String("Destination:"))) {
        const QStringList parts = line.split(u"Destination: "_s);
        if (parts.size() >= 2) {
            const QString path = absoluteToWorkingDirectory(parts[1].trimmed());
            state.currentDownloadPath = path;
            if (log) *log << u"[yt-dlp] currentDownloadPath ← Destination: "_s + path;
            state.statusText = u"Downloading…"_s;
        }
    }

    if (line.contains(QLatin1String("Merging formats into"))) {
        const QStringList parts = line.split(QLatin1Char('"'));
        if (parts.size() >= 2) {
            const QString path = absoluteToWorkingDirectory(parts[1]);
            state.currentDownloadPath = path;
            if (log) *log << u"[yt-dlp] currentDownloadPath ← Merger: "_s + path;
            state.statusText = u"Merging streams…"_s;
        }
    }

    static const QString alreadyPhrase = u" has already been downloaded"_s;
    if (line.contains(QLatin1String("[download]")) && line.contains(QLatin1String("has already been downloaded"))) {
        const qsizetype slash = line.indexOf(QLatin1Char('/'));
        const qsizetype phrase = line.indexOf(alreadyPhrase);
        if (slash >= 0 && phrase >= 0 && slash <= phrase) {
            const QString path = line.mid(slash, phrase - slash).trimmed();
            state.currentDownloadPath = path;
            if (log) *log << u"[yt-dlp] currentDownloadPath ← already-downloaded: "_s + path;
            state.progress = 1.0;
            state.statusText = u"Already downloaded."_s;
        }
    }
}

std::optional<QString> statusFromStderrPieces(const QStringList& pieces) {
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (!pieces[i].startsWith(QLatin1String("[PYI-"))) return pieces[i];
    }
    return std::nullopt;
}

QString downloadFailureText(const QStringList& stderrLines) {
    QStringList kept;
    for (const QString& line : stderrLines) {
        if (!line.startsWith(QLatin1String("[PYI-"))) kept << line;
    }
    return kept.join(QLatin1Char('\n')).trimmed();
}

QString fileNameWithoutExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    // A leading dot names a hidden file, not an extension.
    if (dot <= 0) return fileName;
    return fileName.left(dot);
}

std::optional<QString> parseFFmpegVersion(const QString& output) {
    static const QString marker = u"version "_s;
    const qsizetype at = output.indexOf(marker);
    if (at < 0) return std::nullopt;
    const qsizetype start = at + marker.size();
    qsizetype end = start;
    while (end < output.size() && !output.at(end).isSpace()) ++end;
    return output.mid(start, end - start);
}

std::optional<QString> parseUploaderName(const QByteArray& output) {
    const QString text = QString::fromUtf8(output).trimmed();
    if (text.isEmpty() || text == QLatin1String("NA")) return std::nullopt;
    return text;
}

std::optional<QString> parseReleaseTag(const QByteArray& body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject()) return std::nullopt;
    return jsonString(doc.object(), "tag_name");
}

std::optional<FFmpegBuildInfo> parseFFmpegBuildInfo(const QByteArray& body) {
    const QJsonObject info = QJsonDocument::fromJson(body).object();
    const std::optional<QString> version = jsonString(info, "version");
    const QJsonObject zip = info.value(QLatin1String("download")).toObject().value(QLatin1String("zip")).toObject();
    const std::optional<QString> archive = jsonString(zip, "url");
    if (!version || !archive) return std::nullopt;
    std::optional<qint64> size;
    const QJsonValue listedSize = zip.value(QLatin1String("size"));
    if (listedSize.isDouble() && listedSize.toDouble() > 0 && listedSize.toDouble() < 9e15) size = qint64(listedSize.toDouble());
    return FFmpegBuildInfo{*version, *archive, size};
}

}  // namespace lumenote
