#include "app/GeneralSettingsPage.h"

#include "app/FolderField.h"
#include "app/LocalizationManager.h"
#include "app/LogoManager.h"
#include "core/AppPaths.h"
#include "core/LibraryStore.h"
#include "core/RecordMirror.h"
#include "core/Settings.h"
#include "core/TranscriptionLanguages.h"

#include <QCollator>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include <cmath>

namespace lumenote {

namespace {

constexpr int kIntervalMin = 15;
constexpr int kIntervalMax = 120;
constexpr int kIntervalStep = 5;

}  // namespace

GeneralSettingsPage::GeneralSettingsPage(QWidget* parent) : SettingsPage(parent) {
    setObjectName(QStringLiteral("generalPage"));
    heading_ = createHeading();

    language_ = new QComboBox(this);
    language_->setObjectName(QStringLiteral("languagePicker"));
    for (const auto language : LocalizationManager::languages())
        language_->addItem(LocalizationManager::displayName(language), LocalizationManager::code(language));
    languageNote_ = createNote(this);

    // "auto" first, then every language the models know, by the name shown.
    spoken_ = new QComboBox(this);
    spoken_->setObjectName(QStringLiteral("transcriptionLanguagePicker"));
    spoken_->addItem(QString(), kAutomaticLanguage);
    QList<std::pair<QString, QString>> spoken;  // name, code
    for (const TranscriptionLanguage& l : transcriptionLanguages()) spoken.append({spokenLanguageName(l.code), l.code});
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(spoken.begin(), spoken.end(), [&](const auto& a, const auto& b) { return collator.compare(a.first, b.first) < 0; });
    for (const auto& [name, code] : spoken) spoken_->addItem(name, code);
    spoken_->setMaxVisibleItems(20);
    spokenNote_ = createNote(this);

    logo_ = new QComboBox(this);
    logo_->setObjectName(QStringLiteral("logoVariantPicker"));
    for (const auto variant : {LogoManager::Variant::automatic, LogoManager::Variant::standard, LogoManager::Variant::autumn,
                               LogoManager::Variant::christmas})
        logo_->addItem(QString(), LogoManager::rawValue(variant));
    logoPreview_ = new QLabel(this);
    logoPreview_->setObjectName(QStringLiteral("logoPreview"));
    logoPreview_->setFixedSize(160, 160);
    logoPreview_->setAlignment(Qt::AlignCenter);

    interval_ = new QSlider(Qt::Horizontal, this);
    interval_->setObjectName(QStringLiteral("screenshotIntervalSlider"));
    // One slider step per tick: 22 positions from 15 s to 120 s.
    interval_->setRange(kIntervalMin / kIntervalStep, kIntervalMax / kIntervalStep);
    interval_->setTickPosition(QSlider::TicksBelow);
    interval_->setTickInterval(1);
    interval_->setPageStep(2);
    intervalValue_ = new QLabel(this);
    intervalValue_->setMinimumWidth(56);
    intervalRow_ = new QWidget(this);
    auto* intervalRow = new QHBoxLayout(intervalRow_);
    intervalRow->setContentsMargins(0, 0, 0, 0);
    intervalRow->addWidget(interval_, 1);
    intervalRow->addWidget(intervalValue_);

    exportFolder_ = new FolderField(this);
    exportFolder_->setObjectName(QStringLiteral("exportFolderField"));
    syncFolder_ = new FolderField(this);
    syncFolder_->setObjectName(QStringLiteral("syncFolderField"));
    syncNote_ = createNote(this);
    syncStatus_ = createNote(this);
    syncStatus_->setObjectName(QStringLiteral("syncStatus"));
    syncStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    syncStatus_->hide();

    // Labels in the first column, fields and their notes in the second.
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (QWidget* field : {static_cast<QWidget*>(language_), static_cast<QWidget*>(languageNote_), static_cast<QWidget*>(spoken_),
                           static_cast<QWidget*>(spokenNote_), static_cast<QWidget*>(logo_), static_cast<QWidget*>(logoPreview_),
                           intervalRow_, static_cast<QWidget*>(exportFolder_), static_cast<QWidget*>(syncFolder_),
                           static_cast<QWidget*>(syncNote_), static_cast<QWidget*>(syncStatus_)}) {
        if (field != languageNote_ && field != spokenNote_ && field != logoPreview_ && field != syncNote_ && field != syncStatus_) {
            auto* label = new QLabel(this);
            label->setBuddy(field);
            labels_.insert(field, label);
            grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        }
        grid->addWidget(field, row++, 1);
    }
    form_ = grid;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addLayout(form_);
    layout->addStretch(1);

    connect(language_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        LocalizationManager::shared().setCurrentLanguage(LocalizationManager::languageForCode(language_->itemData(index).toString()));
    });
    connect(spoken_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) Settings::shared().setTranscriptionLanguage(spoken_->itemData(index).toString());
    });
    connect(logo_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        LogoManager::shared().setSelectedVariant(LogoManager::variantForRawValue(logo_->itemData(index).toString()));
        updateLogoPreview();
    });
    connect(interval_, &QSlider::valueChanged, this, [this](int value) {
        Settings::shared().setScreenshotMaxInterval(value * kIntervalStep);
        updateIntervalLabel();
    });
    connect(exportFolder_, &FolderField::folderChosen, this,
            [](const std::optional<QString>& path) { Settings::shared().setExportRootBookmark(path); });
    connect(syncFolder_, &FolderField::folderChosen, this,
            [](const std::optional<QString>& path) { Settings::shared().setCloudSyncFolder(path); });

    // The language or logo may also change elsewhere while the page is open.
    connect(&LocalizationManager::shared(), &LocalizationManager::currentLanguageChanged, this, [this] { load(); });
    connect(&LogoManager::shared(), &LogoManager::selectedVariantChanged, this, [this] { load(); });

    load();
    retranslate();
}

int GeneralSettingsPage::intervalSliderValue(double storedSeconds) {
    const double seconds = storedSeconds <= 0 ? 30.0 : storedSeconds;
    const long tick = std::lround(seconds / kIntervalStep);
    return static_cast<int>(std::clamp<long>(tick, kIntervalMin / kIntervalStep, kIntervalMax / kIntervalStep));
}

QString GeneralSettingsPage::spokenLanguageName(const QString& code) {
    const QLocale::Language language = QLocale::codeToLanguage(code);
    QString native;
    if (language != QLocale::AnyLanguage && language != QLocale::C) {
        // The plain name, not a regional one: of the locales of the language,
        // the shortest name ("English" rather than "American English").
        for (const QLocale& locale : QLocale::matchingLocales(language, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString name = locale.nativeLanguageName();
            if (!name.isEmpty() && (native.isEmpty() || name.size() < native.size())) native = name;
        }
    }
    if (native.isEmpty()) return transcriptionLanguageName(code);
    return native.left(1).toUpper() + native.mid(1);
}

void GeneralSettingsPage::pageShown() { load(); }

void GeneralSettingsPage::load() {
    const Settings& settings = Settings::shared();
    {
        const QSignalBlocker block(language_);
        language_->setCurrentIndex(language_->findData(LocalizationManager::code(LocalizationManager::shared().currentLanguage())));
    }
    {
        const QSignalBlocker block(spoken_);
        spoken_->setCurrentIndex(std::max(0, spoken_->findData(settings.transcriptionLanguage())));
    }
    {
        const QSignalBlocker block(logo_);
        logo_->setCurrentIndex(logo_->findData(LogoManager::rawValue(LogoManager::shared().selectedVariant())));
    }
    {
        const QSignalBlocker block(interval_);
        interval_->setValue(intervalSliderValue(settings.screenshotMaxInterval()));
    }
    exportFolder_->setFolder(settings.exportRootBookmark());
    syncFolder_->setFolder(settings.cloudSyncFolder());
    updateLogoPreview();
    updateIntervalLabel();
    updateSyncStatus();
}

void GeneralSettingsPage::setLibraryStore(const LibraryStore* store) {
    if (store_) disconnect(store_, nullptr, this, nullptr);
    store_ = store;
    if (store_) {
        connect(store_, &LibraryStore::changedInThisProcess, this, &GeneralSettingsPage::updateSyncStatus);
        connect(store_, &LibraryStore::changedRemotely, this, &GeneralSettingsPage::updateSyncStatus);
    }
    updateSyncStatus();
}

void GeneralSettingsPage::updateSyncStatus() {
    const RecordMirror* mirror = store_ ? store_->mirror() : nullptr;
    syncStatus_->setVisible(mirror != nullptr);
    if (!mirror) return;
    const RecordMirror::Status status = mirror->status();
    const QLocale locale;
    auto when = [&](const std::optional<QDateTime>& time) {
        //% "never"
        return time ? locale.toString(time->toLocalTime(), QLocale::ShortFormat) : qtTrId("settings.general.sync.never");
    };
    //% "Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6"
    syncStatus_->setText(qtTrId("settings.general.sync.status")
                             .arg(when(status.lastExport))
                             .arg(status.lastExportCount)
                             .arg(when(status.lastImport))
                             .arg(status.lastImportCount)
                             .arg(status.pendingDocuments)
                             .arg(status.conflictsResolved));
}

void GeneralSettingsPage::updateLogoPreview() {
    QSvgRenderer renderer(LogoManager::resourcePath(LogoManager::shared().imageName()));
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap(logoPreview_->size() * dpr);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        QSizeF size = renderer.defaultSize();
        size.scale(pixmap.size(), Qt::KeepAspectRatio);
        renderer.render(&painter, QRectF(QPointF((pixmap.width() - size.width()) / 2, (pixmap.height() - size.height()) / 2), size));
    }
    pixmap.setDevicePixelRatio(dpr);
    logoPreview_->setPixmap(pixmap);
}

void GeneralSettingsPage::updateIntervalLabel() {
    //% "%1 seconds"
    intervalValue_->setText(qtTrId("settings.general.interval.value").arg(interval_->value() * kIntervalStep));
}

void GeneralSettingsPage::retranslate() {
    //% "General"
    heading_->setText(qtTrId("settings.tab.general"));
    auto setLabel = [this](QWidget* field, const QString& text) {
        if (QLabel* label = labels_.value(field)) label->setText(text);
    };
    //% "Language:"
    setLabel(language_, qtTrId("settings.general.language"));
    //% "The interface changes at once; lectures and exports keep their own language."
    languageNote_->setText(qtTrId("settings.general.language.note"));
    //% "Spoken language:"
    setLabel(spoken_, qtTrId("settings.general.spoken"));
    //% "Detect automatically"
    spoken_->setItemText(0, qtTrId("settings.general.spoken.auto"));
    //% "The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English."
    spokenNote_->setText(qtTrId("settings.general.spoken.note"));
    //% "Logo artwork:"
    setLabel(logo_, qtTrId("settings.general.logo"));
    //% "Seasonal (automatic)"
    logo_->setItemText(0, qtTrId("settings.general.logo.automatic"));
    //% "Standard"
    logo_->setItemText(1, qtTrId("settings.general.logo.standard"));
    //% "Autumn"
    logo_->setItemText(2, qtTrId("settings.general.logo.autumn"));
    //% "Christmas"
    logo_->setItemText(3, qtTrId("settings.general.logo.christmas"));
    //% "Screenshot interval:"
    setLabel(intervalRow_, qtTrId("settings.general.interval"));
    //% "The longest stretch of a lecture without a screenshot."
    interval_->setToolTip(qtTrId("settings.general.interval.tooltip"));
    updateIntervalLabel();
    //% "Export folder:"
    setLabel(exportFolder_, qtTrId("settings.general.export.folder"));
    exportFolder_->setDefaultText(AppPaths::exportRoot());
    //% "Choose the Export Folder"
    exportFolder_->setChooserTitle(qtTrId("settings.general.export.folder.chooser"));
    exportFolder_->retranslate();
    //% "Sync folder:"
    setLabel(syncFolder_, qtTrId("settings.general.sync.folder"));
    //% "None: the library stays on this computer"
    syncFolder_->setDefaultText(qtTrId("settings.general.sync.folder.none"));
    //% "Choose the Sync Folder"
    syncFolder_->setChooserTitle(qtTrId("settings.general.sync.folder.chooser"));
    syncFolder_->retranslate();
    //% "A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts."
    syncNote_->setText(qtTrId("settings.general.sync.folder.note"));
    updateSyncStatus();
}

}  // namespace lumenote
