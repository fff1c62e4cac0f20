// Library store figures: listing a large library, committing one change,
// loading one long transcript, and the process's peak memory.
//
//   build/bench/store_bench [--keep DIR]
#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace lumenote;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// About one hour of speech: ~10,000 words in ~700 segments.
Transcript hourLongTranscript(std::mt19937& rng) {
    static const char* vocabulary[] = {"entropy", "the", "of", "system", "heat", "energy", "temperature", "is", "a", "and",
                                       "which", "we", "can", "see", "that", "reversible", "process", "state", "function", "work"};
    std::uniform_int_distribution<int> pick(0, 19);
    Transcript t;
    double time = 0;
    while (time < 3600) {
        TranscriptSegment seg{QUuid::createUuid(), QString(), time, 0, {}};
        QStringList words;
        for (int w = 0; w < 14; ++w) {
            const QString word = QString::fromLatin1(vocabulary[pick(rng)]) + (w == 13 ? "." : "");
            seg.words.append({" " + word, time, time + 0.3});
            words << word;
            time += 0.36;
        }
        seg.text = words.join(' ');
        seg.endTime = time;
        t.append(seg);
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("library.sqlite");
    std::mt19937 rng(7);

    std::vector<QUuid> transcriptIds;
    {
        QString error;
        auto store = LibraryStore::open(path, &error);
        if (!store) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        for (int i = 0; i < 10000; ++i) {
            auto l = Lecture::create(QStringLiteral("Lecture %1: a title of ordinary length").arg(i),
                                     QStringLiteral("/home/student/Videos/lecture-%1.mp4").arg(i), std::nullopt);
            store->insert(l);
            l->setDuration(3000 + i % 1000);
            l->setStatus(i % 3 ? LectureStatus::Complete : LectureStatus::Pending);
            l->setScreenshotTimestamps(QByteArray("[0.25,31.5,62.75,95.0,130.5]"));
            l->setTranscribedWithModelID(QStringLiteral("openai_whisper-small"));
            if (i % 500 == 499) store->commit();
        }
        store->commit();
        for (int i = 0; i < 200; ++i) {
            auto l = Lecture::create(QStringLiteral("Long lecture %1").arg(i), QStringLiteral("/v/long-%1.mp4").arg(i), std::nullopt);
            store->insert(l);
            l->setTranscriptData(*encodeTranscript(hourLongTranscript(rng)));
            transcriptIds.push_back(l->id());
            if (i % 10 == 9) store->commit();
        }
        store->commit();
    }

    // Opening the store reads every lecture's fields (no large blobs).
    std::vector<double> listMs;
    std::unique_ptr<LibraryStore> store;
    for (int round = 0; round < 5; ++round) {
        store.reset();
        QElapsedTimer t;
        t.start();
        QString error;
        store = LibraryStore::open(path, &error);
        qint64 sum = 0;
        for (const LecturePtr& l : store->lectures()) sum += l->title().size() + qint64(l->duration()) + l->statusRaw().size();
        listMs.push_back(t.nsecsElapsed() / 1e6);
        if (store->lectures().size() != 10200 || sum == 0) return 1;
    }

    std::vector<double> commitMs;
    for (int round = 0; round < 30; ++round) {
        const LecturePtr l = store->lectures()[size_t(round * 331)];
        bool saved = false;
        auto c = QObject::connect(store.get(), &LibraryStore::changedInThisProcess, [&] { saved = true; });
        QElapsedTimer t;
        t.start();
        l->setTitle(QStringLiteral("Renamed %1").arg(round));
        while (!saved) QCoreApplication::processEvents(QEventLoop::AllEvents);
        commitMs.push_back(t.nsecsElapsed() / 1e6);
        QObject::disconnect(c);
    }

    std::vector<double> loadMs;
    size_t words = 0;
    for (int round = 0; round < 10; ++round) {
        const LecturePtr l = store->lecture(transcriptIds[size_t(round * 17)]);
        QElapsedTimer t;
        t.start();
        const auto transcript = decodeTranscript(l->transcriptData().value_or(QByteArray()));
        loadMs.push_back(t.nsecsElapsed() / 1e6);
        if (!transcript) return 1;
        words = 0;
        for (const auto& s : *transcript) words += size_t(s.words.size());
    }

    std::printf("lectures: %zu\n", store->lectures().size());
    std::printf("transcript_words: %zu\n", words);
    std::printf("list_10k_ms: %.2f\n", median(listMs));
    std::printf("commit_one_ms: %.3f\n", median(commitMs));
    std::printf("load_transcript_ms: %.2f\n", median(loadMs));
    std::printf("peak_rss_mb: %.1f\n", peakRssKb() / 1024.0);
    return 0;
}
