// Writes lectures into a library in a loop, printing each one's id once its
// commit has returned, until it is killed.
#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace lumenote;

// Same content as the test expects for lecture number i.
static Transcript transcriptFor(int i) {
    Transcript t;
    for (int s = 0; s < 20; ++s) {
        TranscriptSegment seg{QUuid::createUuid(), QStringLiteral("Lecture %1 segment %2").arg(i).arg(s), s * 3.0, s * 3.0 + 2.5, {}};
        for (int w = 0; w < 10; ++w) seg.words.append({QStringLiteral("w%1").arg(w), s * 3.0 + w * 0.25, s * 3.0 + w * 0.25 + 0.2});
        t.append(seg);
    }
    return t;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) return 2;
    QString error;
    auto store = LibraryStore::open(QString::fromLocal8Bit(argv[1]), &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const int first = std::atoi(argv[2]);
    for (int i = first;; ++i) {
        auto l = Lecture::create(QStringLiteral("Lecture %1").arg(i), QStringLiteral("/videos/%1.mp4").arg(i), std::nullopt);
        store->insert(l);
        l->setTranscriptData(encodeTranscript(transcriptFor(i)));
        l->setStatus(LectureStatus::Complete);
        if (!store->commit(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s %d\n", qPrintable(l->idText()), i);
        std::fflush(stdout);
        // Rewrite an older record too, so that kills also land inside updates.
        if (i > first) {
            const LecturePtr older = store->lectures()[size_t(i - first) / 2];
            older->setDuration(older->duration() + 1);
            store->commit();
        }
    }
}
