#pragma once

// Text recognition for the word sets of text slides: Tesseract with its English
// data, one pass of the line recogniser, no dictionary correction. One engine is
// kept per thread, since an engine may only be used by one thread at a time.

#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

namespace lumenote {

class WordRecognizer {
public:
    // The recognised text, one string per text line; empty when recognition
    // fails or finds nothing.
    static QStringList recognizeLines(const QImage& image);
    // The word set of the picture (see wordSet).
    static QSet<QString> recognizeWords(const QImage& image);
    // Whether the engine and its English data could be loaded here.
    static bool isAvailable();
};

}  // namespace lumenote
