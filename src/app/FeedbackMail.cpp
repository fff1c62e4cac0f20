#include "app/FeedbackMail.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

#include <unistd.h>

namespace lumenote {
namespace {

QString readLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readLine()).trimmed();
}

QString cpuModel() {
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly)) {
        const QRegularExpression re(QStringLiteral("^model name\\s*:\\s*(.+)$"), QRegularExpression::MultilineOption);
        const auto m = re.match(QString::fromUtf8(f.readAll()));
        if (m.hasMatch()) return m.captured(1).trimmed();
    }
    return QSysInfo::currentCpuArchitecture();
}

QString machineModel() {
    const QString vendor = readLine(QStringLiteral("/sys/devices/virtual/dmi/id/sys_vendor"));
    const QString product = readLine(QStringLiteral("/sys/devices/virtual/dmi/id/product_name"));
    QString model = (vendor + QLatin1Char(' ') + product).trimmed();
    return model.isEmpty() ? QSysInfo::currentCpuArchitecture() : model + QStringLiteral(" (") + QSysInfo::currentCpuArchitecture() + QLatin1Char(')');
}

QString installedMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return {};
    const double gb = double(pages) * double(pageSize) / (1024.0 * 1024.0 * 1024.0);
    return QString::number(qRound(gb)) + QStringLiteral(" GB");
}

}  // namespace

SystemSummary SystemSummary::current(const QString& version) {
    return {QStringLiteral("Lumenote %1 (%2)").arg(version, QSysInfo::buildAbi()), QSysInfo::prettyProductName(), machineModel(), cpuModel(),
            installedMemory()};
}

QString feedbackSubject(const QString& version) { return QStringLiteral("Feedback — Lumenote ") + version; }

QString feedbackBody(const SystemSummary& system) {
    const QString rule(40, QChar(0x2500));
    QStringList lines{QString(), QString(), QString(), rule,
                      //% "Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can."
                      qtTrId("feedback.mail.thanks"),
                      //% "The system information below helps us to find problems; you may delete it."
                      qtTrId("feedback.mail.system.note"), QString(),
                      QStringLiteral("App: ") + system.app, QStringLiteral("OS: ") + system.os, QStringLiteral("Machine: ") + system.machine,
                      QStringLiteral("CPU: ") + system.cpu, QStringLiteral("RAM: ") + system.ram, rule};
    return lines.join(QLatin1Char('\n'));
}

QUrl feedbackMailUrl(const QString& version, const SystemSummary& system) {
    // Spaces and line breaks as %20 and %0A, which every mail program reads.
    const QByteArray encoded = QByteArray("mailto:") + kFeedbackAddress + "?subject=" + QUrl::toPercentEncoding(feedbackSubject(version)) +
                               "&body=" + QUrl::toPercentEncoding(feedbackBody(system));
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

}  // namespace lumenote
