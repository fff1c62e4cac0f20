#pragma once

// General settings: interface language, the language spoken in lectures,
// logo artwork, screenshot interval, export folder and sync folder.

#include "app/SettingsPage.h"

#include <QHash>

class QComboBox;
class QGridLayout;
class QLabel;
class QSlider;

namespace lumenote {

class FolderField;
class LibraryStore;

class GeneralSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit GeneralSettingsPage(QWidget* parent = nullptr);

    void pageShown() override;
    void retranslate() override;

    // The slider's value for a stored interval: the nearest tick from 15 to
    // 120 in steps of 5 (a stored value <= 0 means 30).
    static int intervalSliderValue(double storedSeconds);
    // A spoken language's name as the picker shows it: in that language when
    // Qt knows it ("Deutsch"), else its English name.
    static QString spokenLanguageName(const QString& code);

    // The library whose exchange with the sync folder the page reports (last
    // documents sent and received, waiting, conflicts resolved).
    void setLibraryStore(const LibraryStore* store);

private:
    void updateSyncStatus();

    void load();
    void updateLogoPreview();
    void updateIntervalLabel();

    QGridLayout* form_ = nullptr;
    QHash<QWidget*, QLabel*> labels_;  // field -> its label
    QLabel* heading_ = nullptr;
    QComboBox* language_ = nullptr;
    QLabel* languageNote_ = nullptr;
    QComboBox* spoken_ = nullptr;
    QLabel* spokenNote_ = nullptr;
    QComboBox* logo_ = nullptr;
    QLabel* logoPreview_ = nullptr;
    QWidget* intervalRow_ = nullptr;
    QSlider* interval_ = nullptr;
    QLabel* intervalValue_ = nullptr;
    FolderField* exportFolder_ = nullptr;
    FolderField* syncFolder_ = nullptr;
    QLabel* syncNote_ = nullptr;
    QLabel* syncStatus_ = nullptr;
    const LibraryStore* store_ = nullptr;
};

}  // namespace lumenote
