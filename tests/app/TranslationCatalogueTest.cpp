// Every interface text of the window, in every language: each id the code
// asks for is in each catalogue, each entry is finished and carries the same
// placeholders as the English text, and the other languages do not keep the
// English wording.

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace {

struct Entry {
    QString file;
    QString source;
    QString translation;
    QString type;  // "unfinished", "obsolete", "vanished" or empty
};

const QStringList kLanguages{"en", "es", "fr", "it", "de"};

// Texts that read the same in every language.
const QSet<QString> kNames{"Lumenote", "Claude", "Ollama", "yt-dlp", "ffmpeg", "Markdown", "Obsidian"};

QString appDir() { return QString::fromStdString(lumenote::test::sourceDir()) + "/src/app"; }

// Language -> id -> entry, over every catalogue of the window.
QMap<QString, QMap<QString, Entry>> readCatalogues(QStringList* problems) {
    QMap<QString, QMap<QString, Entry>> catalogues;
    const QStringList files = QDir(appDir() + "/i18n").entryList({"*.ts"}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        const QRegularExpressionMatch m = QRegularExpression("_([a-z]{2})\\.ts$").match(name);
        if (!m.hasMatch()) {
            problems->append(name + ": not named <part>_<language>.ts");
            continue;
        }
        const QString lang = m.captured(1);
        QFile file(appDir() + "/i18n/" + name);
        if (!file.open(QIODevice::ReadOnly)) {
            problems->append(name + ": unreadable");
            continue;
        }
        QXmlStreamReader xml(&file);
        Entry entry;
        QString id;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) continue;
            if (xml.name() == QLatin1String("message")) {
                id = xml.attributes().value("id").toString();
                entry = Entry{name, {}, {}, {}};
            } else if (xml.name() == QLatin1String("source")) {
                entry.source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                entry.type = xml.attributes().value("type").toString();
                entry.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                if (id.isEmpty()) problems->append(name + ": a message without an id");
                else if (catalogues[lang].contains(id) && catalogues[lang][id].source != entry.source)
                    problems->append(name + ": " + id + " also in " + catalogues[lang][id].file + " with another text");
                else catalogues[lang].insert(id, entry);
            }
        }
        if (xml.hasError()) problems->append(name + ": " + xml.errorString());
    }
    return catalogues;
}

// Every id the window's sources and the workspace layer it shows ask for,
// by qtTrId or marked for extraction with QT_TRID_NOOP.
QSet<QString> idsInCode() {
    QSet<QString> ids;
    const QRegularExpression call(R"((?:qtTrId|QT_TRID_NOOP)\(\s*"([^"]+)\")");
    const QString sources = QString::fromStdString(lumenote::test::sourceDir()) + "/src";
    for (const QString& dir : {appDir(), sources + "/workspace"}) {
        QDirIterator it(dir, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (auto m = call.globalMatch(text); m.hasNext();) ids.insert(m.next().captured(1));
        }
    }
    return ids;
}

QStringList placeholders(const QString& text) {
    QStringList found;
    for (auto m = QRegularExpression("%L?\\d").globalMatch(text); m.hasNext();) found << m.next().captured(0);
    found.sort();
    return found;
}

bool hasWords(const QString& text) {
    QString rest = text;
    rest.remove(QRegularExpression("%L?\\d"));
    return rest.contains(QRegularExpression("\\p{L}"));
}

}  // namespace

TEST(TranslationCatalogueTest, EveryTextIsTranslatedInEveryLanguage) {
    QStringList problems;
    const auto catalogues = readCatalogues(&problems);
    const QSet<QString> used = idsInCode();
    ASSERT_FALSE(used.isEmpty());

    const QRegularExpression idForm("^[a-z0-9]+(\\.[a-z0-9]+)+$");
    for (const QString& id : used)
        if (!idForm.match(id).hasMatch()) problems << "id " + id + " is not a dotted lower-case path";

    for (const QString& lang : kLanguages) {
        const auto& catalogue = catalogues.value(lang);
        for (const QString& id : used)
            if (!catalogue.contains(id)) problems << lang + ": " + id + " is used but has no entry";
        for (auto it = catalogue.begin(); it != catalogue.end(); ++it) {
            const Entry& e = it.value();
            const QString where = e.file + ": " + it.key();
            if (!used.contains(it.key())) problems << where + " is no longer used";
            if (!e.type.isEmpty()) problems << where + " is " + e.type;
            if (e.translation.trimmed().isEmpty()) problems << where + " has no translation";
            if (placeholders(e.translation) != placeholders(e.source))
                problems << where + " has placeholders " + placeholders(e.translation).join(',') + " for " + placeholders(e.source).join(',');
            if (lang != "en" && e.translation == e.source && hasWords(e.source) && !kNames.contains(e.source))
                problems << where + " is left in English: " + e.source;
            if (lang == "en" && e.translation != e.source) problems << where + " differs from its English source";
        }
    }
    for (const QString& lang : catalogues.keys())
        if (!kLanguages.contains(lang)) problems << "catalogue for an unknown language " + lang;
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}
