#include "cli/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace lumenote::cli {

namespace {
// Redraws are spaced this far apart; progress arrives much more often.
constexpr int kDrawIntervalMs = 80;
}  // namespace

Console::Console(bool terminal, FILE* out, FILE* err, QObject* parent) : QObject(parent), terminal_(terminal), out_(out), err_(err) {
    drawTimer_.setSingleShot(true);
    connect(&drawTimer_, &QTimer::timeout, this, [this] {
        std::lock_guard lock(mutex_);
        eraseBarsLocked();
        drawBarsLocked();
    });
    sinceDraw_.start();
}

Console::~Console() {
    std::lock_guard lock(mutex_);
    eraseBarsLocked();
}

bool Console::stdoutIsTerminal() {
    if (!isatty(STDOUT_FILENO)) return false;
    const char* term = std::getenv("TERM");
    return !term || std::strcmp(term, "dumb") != 0;
}

int Console::columns() const {
    winsize ws{};
    if (ioctl(fileno(out_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

void Console::writeLocked(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void Console::print(const QString& text) {
    std::lock_guard lock(mutex_);
    eraseBarsLocked();
    writeLocked(out_, text);
    drawBarsLocked();
}

void Console::printData(const QString& text) {
    std::lock_guard lock(mutex_);
    eraseBarsLocked();
    writeLocked(data_ ? data_ : out_, text);
    drawBarsLocked();
}

void Console::error(const QString& text) {
    std::lock_guard lock(mutex_);
    eraseBarsLocked();
    writeLocked(err_, QStringLiteral("lumenote-cli: ") + text);
    drawBarsLocked();
}

void Console::diagnostic(const QString& line) {
    std::lock_guard lock(mutex_);
    const bool asked = !shownPrefix_.isEmpty() && line.startsWith(shownPrefix_);
    if (asked && shownCounter_) ++*shownCounter_;
    if (asked || verbose_) print(line);
}

void Console::showDiagnostics(const QString& prefix, int* counter) {
    std::lock_guard lock(mutex_);
    shownPrefix_ = prefix;
    shownCounter_ = counter;
}

QString Console::remainingText(double elapsedSeconds, double startFraction, double fraction) {
    // Too early (or no progress yet) gives wild guesses.
    if (!std::isfinite(fraction) || fraction >= 1 || elapsedSeconds < 3 || fraction - startFraction < 0.02) return {};
    const double rate = (fraction - startFraction) / elapsedSeconds;
    const qint64 left = qint64(std::ceil((1 - fraction) / rate / 5.0 - 1e-9) * 5);  // in steps of five seconds
    if (left >= 3600) return QStringLiteral("~%1:%2:%3 left").arg(left / 3600).arg(left / 60 % 60, 2, 10, QLatin1Char('0')).arg(left % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("~%1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
}

QString Console::renderBar(const QString& label, double fraction, const QString& detail, int width, const QString& remaining) {
    if (!std::isfinite(fraction)) fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int percent = int(std::floor(fraction * 100.0));
    const QString head = label.leftJustified(14, QLatin1Char(' '), true) + QLatin1Char(' ');
    const QString tail = QStringLiteral(" %1%").arg(percent, 3) + (remaining.isEmpty() ? QString() : QStringLiteral(" ") + remaining);
    // The bar takes what is left after the label and the percentage, up to 30 cells.
    const int cells = std::clamp(width - int(head.size()) - int(tail.size()) - 2, 0, 30);
    const int filled = int(std::lround(fraction * cells));
    QString line = head;
    if (cells > 0)
        line += QLatin1Char('[') + QString(filled, QChar(0x2588)) + QString(cells - filled, QChar(0x2591)) + QLatin1Char(']');
    line += tail;
    if (!detail.isEmpty()) {
        const int room = width - int(line.size()) - 2;
        if (room > 1) {
            QString d = detail.simplified();
            // Keep the end of a long text: that is where live text grows.
            if (d.size() > room) d = QChar(0x2026) + d.right(room - 1);
            line += QStringLiteral("  ") + d;
        }
    }
    if (line.size() > width) line.truncate(std::max(width, 0));
    return line;
}

void Console::setBar(const QString& key, const QString& label, double fraction, const QString& detail, int plainStepPercent) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(bars_.begin(), bars_.end(), [&](const Bar& b) { return b.key == key; });
    if (it == bars_.end()) {
        Bar bar;
        bar.key = key;
        bar.label = label;
        bar.fraction = fraction;
        bar.detail = detail;
        bar.plainStep = plainStepPercent;
        bar.startFraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0;
        bar.started.start();
        bars_.append(bar);
        it = bars_.end() - 1;
    } else {
        it->label = label;
        it->fraction = fraction;
        it->detail = detail;
        it->plainStep = plainStepPercent;
    }
    if (!terminal_) {
        if (it->plainStep > 0 && std::isfinite(fraction)) {
            const int percent = int(std::floor(std::clamp(fraction, 0.0, 1.0) * 100.0));
            const int step = percent / it->plainStep * it->plainStep;
            if (step > it->lastPlainPercent) {
                it->lastPlainPercent = step;
                const QString left = remainingText(double(it->started.elapsed()) / 1000.0, it->startFraction, fraction);
                writeLocked(out_, QStringLiteral("%1: %2%").arg(label).arg(step) + (left.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(left)));
            }
        }
        return;
    }
    scheduleDraw();
}

bool Console::hasBar(const QString& key) const {
    std::lock_guard lock(mutex_);
    return std::any_of(bars_.begin(), bars_.end(), [&](const Bar& b) { return b.key == key; });
}

void Console::removeBar(const QString& key) {
    std::lock_guard lock(mutex_);
    const auto before = bars_.size();
    bars_.removeIf([&](const Bar& b) { return b.key == key; });
    if (bars_.size() == before || !terminal_) return;
    eraseBarsLocked();
    drawBarsLocked();
}

void Console::removeAllBars() {
    std::lock_guard lock(mutex_);
    eraseBarsLocked();
    bars_.clear();
}

void Console::scheduleDraw() {
    if (sinceDraw_.elapsed() >= kDrawIntervalMs) {
        eraseBarsLocked();
        drawBarsLocked();
    } else if (!drawTimer_.isActive()) {
        drawTimer_.start(kDrawIntervalMs - int(sinceDraw_.elapsed()));
    }
}

void Console::eraseBarsLocked() {
    if (!terminal_ || drawnLines_ == 0) return;
    // Up to the first bar line, then clear to the end of the screen.
    const QByteArray seq = "\r\x1b[" + QByteArray::number(drawnLines_) + "A\x1b[J";
    std::fwrite(seq.constData(), 1, size_t(seq.size()), out_);
    drawnLines_ = 0;
}

void Console::drawBarsLocked() {
    if (!terminal_ || bars_.isEmpty()) {
        if (terminal_) std::fflush(out_);
        return;
    }
    const int width = columns() - 1;
    QByteArray bytes = "\x1b[?7l";  // no line wrapping while the bars are drawn
    for (const Bar& b : bars_)
        bytes += renderBar(b.label, b.fraction, b.detail, width, remainingText(double(b.started.elapsed()) / 1000.0, b.startFraction, b.fraction)).toUtf8() + '\n';
    bytes += "\x1b[?7h";
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out_);
    std::fflush(out_);
    drawnLines_ = int(bars_.size());
    sinceDraw_.restart();
}

}  // namespace lumenote::cli
