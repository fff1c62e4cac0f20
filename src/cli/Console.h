#pragma once

// What lumenote-cli prints. Result lines go to standard output, errors as one
// line to standard error. On a terminal the running stages show progress bars
// below the printed lines, redrawn in place; elsewhere only plain lines are
// written (a bar may print its progress in coarse steps). Lines may come from
// any thread (the services' diagnostics); bars are driven from the main thread.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <mutex>

namespace lumenote::cli {

class Console : public QObject {
    Q_OBJECT
public:
    // `terminal`: draw bars (normally: standard output is a terminal).
    explicit Console(bool terminal, FILE* out = stdout, FILE* err = stderr, QObject* parent = nullptr);
    ~Console() override;

    // Whether standard output is a terminal that is not "dumb".
    static bool stdoutIsTerminal();

    bool isTerminal() const { return terminal_; }
    void setVerbose(bool verbose) { verbose_ = verbose; }
    bool isVerbose() const { return verbose_; }

    // One line (or several) on standard output.
    void print(const QString& text);
    // The command's result for scripts (JSON): on standard output even when
    // the other lines go elsewhere (setDataStream).
    void printData(const QString& text);
    // Where printData writes; by default the stream of print.
    void setDataStream(FILE* stream) { data_ = stream; }
    // "lumenote-cli: <text>" on standard error.
    void error(const QString& text);
    // A service's diagnostic line: shown only when verbose, or when it begins
    // with the prefix a command asked for. Any thread.
    void diagnostic(const QString& line);
    // Shows the diagnostic lines beginning with `prefix` (empty: none) and counts them.
    void showDiagnostics(const QString& prefix, int* counter);

    // Shows or updates the bar `key` (fraction 0..1, detail after the percentage).
    // `plainStepPercent` > 0: without a terminal, print "label: N%" each time the
    // progress passes a multiple of it.
    void setBar(const QString& key, const QString& label, double fraction, const QString& detail = {}, int plainStepPercent = 0);
    bool hasBar(const QString& key) const;
    void removeBar(const QString& key);
    void removeAllBars();

    // One bar as text, fitted into `width` columns; `remaining` follows the percentage.
    static QString renderBar(const QString& label, double fraction, const QString& detail, int width, const QString& remaining = {});
    // "~2:10 left" from the speed so far: progress from `startFraction` to
    // `fraction` in `elapsedSeconds`; empty while too early to tell or when done.
    static QString remainingText(double elapsedSeconds, double startFraction, double fraction);

private:
    struct Bar {
        QString key;
        QString label;
        double fraction = 0;
        QString detail;
        QElapsedTimer started;
        double startFraction = 0;
        int plainStep = 0;
        int lastPlainPercent = -1;
    };
    void writeLocked(FILE* stream, const QString& text);
    void eraseBarsLocked();
    void drawBarsLocked();
    void scheduleDraw();
    int columns() const;

    const bool terminal_;
    FILE* data_ = nullptr;
    FILE* out_;
    FILE* err_;
    bool verbose_ = false;
    QString shownPrefix_;
    int* shownCounter_ = nullptr;
    mutable std::recursive_mutex mutex_;
    QList<Bar> bars_;
    int drawnLines_ = 0;
    QTimer drawTimer_;
    QElapsedTimer sinceDraw_;
};

}  // namespace lumenote::cli
