#include "screenshots/WordRecognizer.h"

#include "screenshots/FrameAnalysis.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>

namespace lumenote {
namespace {

// Small text in a 640 x 360 frame is below the size the recogniser reads well;
// smaller pictures are doubled first.
constexpr int kEnlargeBelowHeight = 540;

struct Engine {
    tesseract::TessBaseAPI api;
    bool ready = false;

    Engine() {
        // Dictionaries off: words are compared as read, without language correction.
        std::vector<std::string> names = {"load_system_dawg", "load_freq_dawg"};
        std::vector<std::string> values = {"0", "0"};
        const char* configs = nullptr;
        ready = api.Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY, const_cast<char**>(&configs), 0, &names, &values, false) == 0;
        if (ready) {
            api.SetPageSegMode(tesseract::PSM_AUTO);
            api.SetVariable("debug_file", "/dev/null");
        }
    }
    ~Engine() { api.End(); }
};

Engine& engine() {
    thread_local Engine e;
    return e;
}

}  // namespace

bool WordRecognizer::isAvailable() { return engine().ready; }

QStringList WordRecognizer::recognizeLines(const QImage& image) {
    if (image.isNull()) return {};
    Engine& e = engine();
    if (!e.ready) return {};
    QImage grey = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.height() < kEnlargeBelowHeight) grey = grey.scaled(grey.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    e.api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    QStringList lines;
    if (e.api.Recognize(nullptr) != 0) {
        e.api.Clear();
        return lines;
    }
    std::unique_ptr<tesseract::ResultIterator> it(e.api.GetIterator());
    if (it) {
        do {
            std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
            if (text) {
                const QString line = QString::fromUtf8(text.get()).trimmed();
                if (!line.isEmpty()) lines.push_back(line);
            }
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    e.api.Clear();
    return lines;
}

QSet<QString> WordRecognizer::recognizeWords(const QImage& image) { return wordSet(recognizeLines(image)); }

}  // namespace lumenote
