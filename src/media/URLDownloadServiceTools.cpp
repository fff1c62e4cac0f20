// The tool half of URLDownloadService: finding, staging, checking, updating
// and installing yt-dlp and ffmpeg.

#include "media/URLDownloadService.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "media/HttpTransfer.h"
#include "media/ToolChecksums.h"
#include "media/ToolProcess.h"
#include "media/YtDlpOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>

namespace lumenote {

using namespace Qt::StringLiterals;
using namespace lumenote::media;

namespace {

const QByteArray kUserAgent = "Lumenote/1.0";
const QString kUnzip = u"/usr/bin/unzip"_s;
const QString kNoBuildServiceMessage = QStringLiteral(
    "No ffmpeg download service is configured. Install ffmpeg with your package manager (for example: sudo apt install ffmpeg).");

// Restores 0o755 on a private copy that lost all its execute bits.
void ensureExecutable(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return;
    if ((st.st_mode & 0111) == 0) ::chmod(native.constData(), 0755);
}

QString withoutTrailingSlash(QString url) {
    while (url.endsWith(QLatin1Char('/'))) url.chop(1);
    return url;
}

QString hostFromEnvironment(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return withoutTrailingSlash(value.isEmpty() ? fallback : value);
}

QNetworkRequest makeRequest(const QString& url, int timeoutMs, bool ignoreCache) {
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("User-Agent", kUserAgent);
    request.setTransferTimeout(timeoutMs);
    if (ignoreCache) request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    return request;
}

std::optional<QString> firstExisting(const QStringList& directories, const QString& name) {
    for (const QString& dir : directories) {
        const QString candidate = dir + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return std::nullopt;
}

}  // namespace

// ---- Locations ---------------------------------------------------------------

QString URLDownloadService::privateYtDlpPath() { return AppPaths::applicationSupportDirectory() + u"/yt-dlp"_s; }

QString URLDownloadService::privateFFmpegPath() { return AppPaths::applicationSupportDirectory() + u"/ffmpeg"_s; }

QString URLDownloadService::ytDlpAssetName() {
    return QSysInfo::currentCpuArchitecture() == QLatin1String("arm64") ? u"yt-dlp_linux_aarch64"_s
                                                                        : u"yt-dlp_linux"_s;
}

QString URLDownloadService::gitHubApiUrl() { return hostFromEnvironment("LUMENOTE_GITHUB_API_URL", u"https://api.github.com"_s); }

QString URLDownloadService::gitHubUrl() { return hostFromEnvironment("LUMENOTE_GITHUB_URL", u"https://github.com"_s); }

std::optional<QString> URLDownloadService::ffmpegInfoUrl() {
    const QString value = qEnvironmentVariable("LUMENOTE_FFMPEG_INFO_URL");
    if (value.isEmpty()) return std::nullopt;
    return value;
}

QStringList URLDownloadService::defaultToolSearchDirectories() {
    return {QDir::homePath() + u"/.local/bin"_s, u"/usr/local/bin"_s, u"/usr/bin"_s};
}

QString URLDownloadService::defaultPackagedYtDlpPath() {
    if (!QCoreApplication::instance()) return {};
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/lumenote/yt-dlp"_s);
}

QNetworkAccessManager& URLDownloadService::network() {
    if (!network_) network_ = new QNetworkAccessManager(this);
    return *network_;
}

// ---- Finding the tools ---------------------------------------------------------

std::optional<QString> URLDownloadService::ytDlpPath() {
    const QString privateCopy = privateYtDlpPath();
    if (QFileInfo(privateCopy).isFile()) {
        ensureExecutable(privateCopy);
        logLine(u"[yt-dlp] ytDlpPath: using app-support copy at "_s + privateCopy);
        return privateCopy;
    }

    if (!packagedYtDlpPath_.isEmpty() && QFileInfo(packagedYtDlpPath_).isFile()) {
        // The packaged copy is read-only; a private copy can be replaced by updates.
        bool staged = false;
        QFile source(packagedYtDlpPath_);
        if (source.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = source.readAll();
            QFile target(privateCopy);
            staged = QDir().mkpath(AppPaths::applicationSupportDirectory()) &&
                     target.open(QIODevice::WriteOnly | QIODevice::Truncate) && target.write(bytes) == bytes.size();
            target.close();
            if (!staged) target.remove();
        }
        if (staged) {
            ensureExecutable(privateCopy);
            logLine(u"[yt-dlp] ytDlpPath: staged bundle copy to "_s + privateCopy);
            return privateCopy;
        }
        logLine(u"[yt-dlp] ytDlpPath: write to app-support failed, falling back to bundle at "_s + packagedYtDlpPath_);
        return packagedYtDlpPath_;
    }

    return firstExisting(searchDirectories_, u"yt-dlp"_s);
}

std::optional<QString> URLDownloadService::ffmpegPath() {
    const QString privateCopy = privateFFmpegPath();
    if (QFileInfo(privateCopy).isFile()) {
        ensureExecutable(privateCopy);
        return privateCopy;
    }
    return firstExisting(searchDirectories_, u"ffmpeg"_s);
}

QCoro::Task<QString> URLDownloadService::runningVersion() {
    const std::optional<QString> path = ytDlpPath();
    if (!path) {
        logLine(u"[yt-dlp] runningVersion: binary not found"_s);
        throw DownloadError::notInstalled();
    }
    logLine(u"[yt-dlp] runningVersion: "_s + *path);
    const QStringList args{u"--version"_s};  // a braced list inside co_await trips GCC 12
    const ToolRunResult r = co_await runTool(*path, args);
    if (!r.started) {
        logLine(u"[yt-dlp] runningVersion launch failed: "_s + r.launchError);
        throw Error(r.launchError);
    }
    const QString text = QString::fromUtf8(r.standardOutput).trimmed();
    logLine(u"[yt-dlp] runningVersion result: '"_s + text + QLatin1Char('\''));
    co_return text;
}

QCoro::Task<std::optional<QString>> URLDownloadService::ffmpegRunningVersion() {
    const std::optional<QString> path = ffmpegPath();
    if (!path) throw DownloadError::notInstalled();
    const QStringList args{u"-version"_s};
    const ToolRunResult r = co_await runTool(*path, args);
    if (!r.started) throw Error(r.launchError);
    co_return parseFFmpegVersion(QString::fromUtf8(r.standardOutput));
}

// ---- Observable tool state -------------------------------------------------------

std::optional<QDateTime> URLDownloadService::lastUpdateCheck() const { return Settings::shared().ytDlpLastUpdateCheck(); }
std::optional<QString> URLDownloadService::lastKnownVersion() const { return Settings::shared().ytDlpLastKnownVersion(); }
std::optional<QDateTime> URLDownloadService::ffmpegLastUpdateCheck() const { return Settings::shared().ffmpegLastUpdateCheck(); }
std::optional<QString> URLDownloadService::ffmpegLastKnownVersion() const { return Settings::shared().ffmpegLastKnownVersion(); }
std::optional<QString> URLDownloadService::ffmpegInstalledVersion() const { return Settings::shared().ffmpegInstalledVersion(); }

void URLDownloadService::setUpdateStatus(const UpdateStatus& s) {
    updateStatus_ = s;
    emit toolStateChanged();
}

void URLDownloadService::setFFmpegUpdateStatus(const UpdateStatus& s) {
    ffmpegUpdateStatus_ = s;
    emit toolStateChanged();
}

void URLDownloadService::setBinaryUpdateProgress(double p) {
    binaryUpdateProgress_ = p;
    emit toolStateChanged();
}

void URLDownloadService::setFFmpegBinaryUpdateProgress(double p) {
    ffmpegBinaryUpdateProgress_ = p;
    emit toolStateChanged();
}

// ---- yt-dlp updates ----------------------------------------------------------------

QCoro::Task<QString> URLDownloadService::fetchLatestYtDlpTag() {
    const QNetworkRequest request =
        makeRequest(gitHubApiUrl() + u"/repos/yt-dlp/yt-dlp/releases/latest"_s, 30000, true);
    const HttpResult result = co_await httpGet(network(), request);
    if (result.status != 200)
        throw Error(u"The yt-dlp release feed answered with HTTP status %1."_s.arg(result.status));
    const std::optional<QString> tag = parseReleaseTag(result.body);
    if (!tag) throw Error(u"The yt-dlp release feed sent an answer that could not be read."_s);
    co_return *tag;
}

QCoro::Task<> URLDownloadService::checkForUpdates() {
    if (isCheckingForUpdates_) co_return;
    isCheckingForUpdates_ = true;
    setUpdateStatus(UpdateStatus::checking());

    QString failure;
    QString version;
    QString tag;
    try {
        version = co_await runningVersion();
        if (!version.isEmpty()) Settings::shared().setYtDlpLastKnownVersion(version);
        tag = co_await fetchLatestYtDlpTag();
    } catch (const Error& e) {
        failure = e.description();
    }
    isCheckingForUpdates_ = false;
    if (!failure.isEmpty()) {
        logLine(u"[yt-dlp] update check failed: "_s + failure);
        setUpdateStatus(UpdateStatus::checkFailed());
        co_return;
    }
    Settings::shared().setYtDlpLastUpdateCheck(QDateTime::currentDateTimeUtc());
    setUpdateStatus(version == tag ? UpdateStatus::upToDate(version) : UpdateStatus::available(version, tag));
}

QCoro::Task<> URLDownloadService::updateYtDlp() {
    if (updateStatus_.kind() != UpdateStatus::Kind::Available) co_return;
    setUpdateStatus(UpdateStatus::updating());
    setBinaryUpdateProgress(0);

    ytDlpUpdateError_.clear();

    const QString folder = AppPaths::applicationSupportDirectory();
    const QString partial = folder + u"/yt-dlp.download"_s;
    const QString privateCopy = privateYtDlpPath();
    const QString asset = ytDlpAssetName();
    const QString release = gitHubUrl() + u"/yt-dlp/yt-dlp/releases/latest/download/"_s;
    QString failure;
    try {
        if (!QDir().mkpath(folder)) throw Error(u"Cannot create %1."_s.arg(folder));
        // The release's own checksum list says what the binary must be; without
        // it nothing is installed.
        const HttpResult sums = co_await httpGet(network(), makeRequest(release + u"SHA2-256SUMS"_s, 30000, false));
        if (sums.status != 200)
            throw Error(u"The yt-dlp release publishes no checksums (SHA2-256SUMS answered HTTP status %1); the update was not installed."_s
                            .arg(sums.status));
        const std::optional<QByteArray> expected = listedSha256(sums.body, asset);
        if (!expected)
            throw Error(u"The yt-dlp release lists no SHA-256 checksum for %1; the update was not installed."_s.arg(asset));

        const QNetworkRequest request = makeRequest(release + asset, 60000, false);
        // Named, not a temporary inside the co_await: GCC 12 mishandles those.
        const BlockProgress onBlock = [this](qint64 written, qint64, qint64 contentLength) {
            const double expected = double(contentLength >= 1 ? contentLength : kYtDlpFallbackSize);
            setBinaryUpdateProgress(std::min(double(written) / expected, 0.99));
        };
        co_await downloadToFile(network(), request, partial, onBlock);
        const std::optional<QByteArray> received = fileSha256(partial);
        if (!received) throw Error(u"Cannot read %1."_s.arg(partial));
        if (*received != *expected) {
            QFile::remove(partial);
            throw Error(u"The downloaded yt-dlp does not match the SHA-256 checksum its release publishes for %1 "
                        "(expected %2, received %3). It was deleted; the previous yt-dlp stays in use."_s
                            .arg(asset, QString::fromLatin1(*expected), QString::fromLatin1(*received)));
        }
        logLine(u"[yt-dlp] checksum verified: "_s + QString::fromLatin1(*received));
        // The previous copy stays until the new one is complete.
        if (QFileInfo::exists(privateCopy) && !QFile::remove(privateCopy))
            throw Error(u"Cannot replace %1."_s.arg(privateCopy));
        if (!QFile::rename(partial, privateCopy)) throw Error(u"Cannot move the new yt-dlp to %1."_s.arg(privateCopy));
        ensureExecutable(privateCopy);
    } catch (const Error& e) {
        failure = e.description();
    }
    if (!failure.isEmpty()) {
        logLine(u"[yt-dlp] update failed: "_s + failure);
        ytDlpUpdateError_ = failure;
        setUpdateStatus(UpdateStatus::checkFailed());
        setBinaryUpdateProgress(0);
        co_return;
    }
    setBinaryUpdateProgress(1.0);
    co_await checkForUpdates();
}

// ---- ffmpeg ------------------------------------------------------------------------

QCoro::Task<URLDownloadService::FFmpegBuild> URLDownloadService::fetchLatestFFmpegBuild() {
    const std::optional<QString> infoUrl = ffmpegInfoUrl();
    if (!infoUrl) throw Error(kNoBuildServiceMessage);
    QNetworkRequest request = makeRequest(*infoUrl, 30000, true);
    request.setRawHeader("Accept", "application/json");
    const HttpResult result = co_await httpGet(network(), request);
    logLine(u"[ffmpeg] build-info service answered HTTP %1"_s.arg(result.status));
    if (result.status != 200) {
        logLine(u"[ffmpeg] unexpected response: "_s + QString::fromUtf8(result.body));
        throw Error(u"The ffmpeg build-info service answered with HTTP status %1."_s.arg(result.status));
    }
    const std::optional<FFmpegBuildInfo> info = parseFFmpegBuildInfo(result.body);
    if (!info) throw Error(u"The ffmpeg build-info service sent an answer that could not be read."_s);
    const QUrl archiveUrl(info->archiveUrl, QUrl::StrictMode);
    if (!archiveUrl.isValid() || archiveUrl.scheme().isEmpty())
        throw DomainError(u"FFmpegInstaller"_s, 1,
                          u"The ffmpeg build-info service returned an invalid download URL: %1"_s.arg(info->archiveUrl));
    logLine(u"[ffmpeg] latest version: "_s + info->version + u", url: "_s + info->archiveUrl);
    co_return FFmpegBuild{info->version, info->archiveUrl, info->archiveSize};
}

QCoro::Task<> URLDownloadService::checkFFmpegUpdates() {
    if (isCheckingFFmpegUpdates_) co_return;
    if (!ffmpegPath()) {
        setFFmpegUpdateStatus(UpdateStatus::unknown());
        co_return;
    }
    isCheckingFFmpegUpdates_ = true;
    setFFmpegUpdateStatus(UpdateStatus::checking());

    QString failure;
    std::optional<QString> running;
    std::optional<FFmpegBuild> latest;
    const std::optional<QString> installed = ffmpegInstalledVersion();
    const bool ours = installed && !installed->isEmpty();
    try {
        running = co_await ffmpegRunningVersion();
        if (running && !running->isEmpty()) Settings::shared().setFFmpegLastKnownVersion(*running);
        // An ffmpeg from the package manager is the package manager's to update.
        if (ours) latest = co_await fetchLatestFFmpegBuild();
    } catch (const Error& e) {
        failure = e.description();
    }
    isCheckingFFmpegUpdates_ = false;
    if (!failure.isEmpty()) {
        logLine(u"[ffmpeg] update check failed: "_s + failure);
        setFFmpegUpdateStatus(UpdateStatus::checkFailed());
        co_return;
    }
    Settings::shared().setFFmpegLastUpdateCheck(QDateTime::currentDateTimeUtc());
    const QString runningText = running.value_or(QString());
    if (!ours || *installed == latest->version)
        setFFmpegUpdateStatus(UpdateStatus::upToDate(runningText));
    else
        setFFmpegUpdateStatus(UpdateStatus::available(*installed, latest->version));
}

QCoro::Task<> URLDownloadService::installFFmpeg() {
    if (ffmpegInstall_) {
        const std::shared_ptr<Completion> running = ffmpegInstall_;
        co_await running->wait();
        co_return;
    }
    const auto completion = std::make_shared<Completion>();
    ffmpegInstall_ = completion;
    emit toolStateChanged();
    co_await runFFmpegInstall();
    ffmpegInstall_.reset();
    emit toolStateChanged();
    completion->finish();
}

QCoro::Task<> URLDownloadService::runFFmpegInstall() {
    setFFmpegUpdateStatus(UpdateStatus::updating());
    setFFmpegBinaryUpdateProgress(0);
    ffmpegInstallError_.clear();

    const QString folder = AppPaths::applicationSupportDirectory();
    const QString archive = folder + u"/ffmpeg.zip.download"_s;
    const QString extractFolder = folder + u"/ffmpeg_extract"_s;
    const QString privateCopy = privateFFmpegPath();
    QString failure;
    try {
        if (!QDir().mkpath(folder)) throw Error(u"Cannot create %1."_s.arg(folder));
        const FFmpegBuild build = co_await fetchLatestFFmpegBuild();

        logLine(u"[ffmpeg] downloading from "_s + build.archiveUrl);
        const BlockProgress onBlock = [this](qint64 written, qint64 buffered, qint64 contentLength) {
            const double expected = double(contentLength >= 1 ? contentLength : kFFmpegFallbackSize);
            // The last 15 % stand for unpacking and installing.
            setFFmpegBinaryUpdateProgress(std::min(double(written + buffered) / expected * 0.85, 0.85));
        };
        const QNetworkRequest request = makeRequest(build.archiveUrl, 60000, false);
        const qint64 size = co_await downloadToFile(network(), request, archive, onBlock);
        logLine(u"[ffmpeg] ZIP downloaded — "_s + QString::number(double(size) / 1e6, 'f', 1) + u" MB"_s);
        if (build.archiveSize && size != *build.archiveSize) {
            QFile::remove(archive);
            throw Error(u"The downloaded ffmpeg archive is %1 bytes, but the build service lists %2 bytes. It was deleted and "
                        "nothing was installed."_s.arg(size).arg(*build.archiveSize));
        }

        QDir(extractFolder).removeRecursively();
        if (!QDir().mkpath(extractFolder)) throw Error(u"Cannot create %1."_s.arg(extractFolder));
        const QStringList unzipArgs{u"-q"_s, archive, u"-d"_s, extractFolder};
        const ToolRunResult unzip = co_await runTool(kUnzip, unzipArgs);
        if (!unzip.started) throw Error(u"Cannot run %1: %2"_s.arg(kUnzip, unzip.launchError));
        if (!unzip.normalExit || unzip.exitCode != 0)
            throw Error(u"unzip exited with status %1"_s.arg(unzip.exitCode));

        const QString binary = extractFolder + u"/ffmpeg"_s;
        if (!QFileInfo(binary).isFile()) throw Error(u"ffmpeg binary not found inside the downloaded archive."_s);
        logLine(u"[ffmpeg] extracted binary at "_s + binary);

        if (QFileInfo::exists(privateCopy) && !QFile::remove(privateCopy))
            throw Error(u"Cannot replace %1."_s.arg(privateCopy));
        if (!QFile::rename(binary, privateCopy)) throw Error(u"Cannot move ffmpeg to %1."_s.arg(privateCopy));
        ensureExecutable(privateCopy);
        QFile::remove(archive);
        QDir(extractFolder).removeRecursively();
        Settings::shared().setFFmpegInstalledVersion(build.version);
        logLine(u"[ffmpeg] installed at "_s + privateCopy);
        setFFmpegBinaryUpdateProgress(1.0);
    } catch (const Error& e) {
        failure = e.description();
    }
    if (!failure.isEmpty()) {
        logLine(u"[ffmpeg] install failed: "_s + failure);
        ffmpegInstallError_ = failure;
        setFFmpegUpdateStatus(UpdateStatus::checkFailed());
        setFFmpegBinaryUpdateProgress(0);
        co_return;
    }
    co_await checkFFmpegUpdates();
}

void URLDownloadService::startDueUpdateChecks(const QDateTime& now) {
    if (isUpdateCheckDue(lastUpdateCheck(), now)) checkForUpdates();  // runs on by itself
    if (ffmpegPath() && isUpdateCheckDue(ffmpegLastUpdateCheck(), now)) checkFFmpegUpdates();
}

// ---- Start-up -------------------------------------------------------------------

void URLDownloadService::stageYtDlp() { ytDlpPath(); }

bool URLDownloadService::isFFmpegInstalled() { return ffmpegPath().has_value(); }

QCoro::Task<> URLDownloadService::checkYtDlpForUpdates() { return checkForUpdates(); }

QCoro::Task<> URLDownloadService::checkFFmpegForUpdates() { return checkFFmpegUpdates(); }

void URLDownloadService::startFFmpegInstall() {
    if (ffmpegInstall_) return;
    installFFmpeg();  // runs on by itself; the state reports its progress
}

}  // namespace lumenote
