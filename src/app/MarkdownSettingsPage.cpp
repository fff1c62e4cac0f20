#include "app/MarkdownSettingsPage.h"

#include "app/FolderField.h"
#include "core/Settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumenote {

MarkdownSettingsPage::MarkdownSettingsPage(QWidget* parent) : SettingsPage(parent) {
    setObjectName(QStringLiteral("markdownPage"));
    heading_ = createHeading();
    description_ = new QLabel(this);
    description_->setWordWrap(true);
    enabled_ = new QCheckBox(this);
    enabled_->setObjectName(QStringLiteral("markdownEnabled"));
    obsidian_ = new QCheckBox(this);
    obsidian_->setObjectName(QStringLiteral("markdownObsidianSyntax"));
    obsidianExample_ = new QLabel(this);
    obsidianExample_->setForegroundRole(QPalette::PlaceholderText);
    obsidianExample_->setIndent(24);
    folderLabel_ = new QLabel(this);
    folder_ = new FolderField(this);
    folder_->setObjectName(QStringLiteral("markdownFolderField"));
    folderNote_ = new QLabel(this);
    folderNote_->setWordWrap(true);
    folderNote_->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(description_);
    layout->addSpacing(8);
    layout->addWidget(enabled_);
    layout->addWidget(obsidian_);
    layout->addWidget(obsidianExample_);
    layout->addSpacing(8);
    layout->addWidget(folderLabel_);
    layout->addWidget(folder_);
    layout->addWidget(folderNote_);
    layout->addStretch(1);

    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
        Settings::shared().setMarkdownExportEnabled(on);
        updateEnabled();
    });
    connect(obsidian_, &QCheckBox::toggled, this, [this](bool on) {
        Settings::shared().setMarkdownExportObsidianSyntax(on);
        retranslate();
    });
    connect(folder_, &FolderField::folderChosen, this,
            [](const std::optional<QString>& path) { Settings::shared().setMarkdownExportDirectoryBookmark(path); });
    load();
    retranslate();
}

void MarkdownSettingsPage::pageShown() { load(); }

void MarkdownSettingsPage::load() {
    const Settings& settings = Settings::shared();
    {
        const QSignalBlocker a(enabled_), b(obsidian_);
        enabled_->setChecked(settings.markdownExportEnabled());
        obsidian_->setChecked(settings.markdownExportObsidianSyntax());
    }
    folder_->setFolder(settings.markdownExportDirectoryBookmark());
    updateEnabled();
}

void MarkdownSettingsPage::updateEnabled() {
    const bool on = enabled_->isChecked();
    obsidian_->setEnabled(on);
    obsidianExample_->setEnabled(on);
    folder_->setEnabled(on);
}

void MarkdownSettingsPage::retranslate() {
    //% "Markdown"
    heading_->setText(qtTrId("settings.tab.markdown"));
    //% "Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian."
    description_->setText(qtTrId("settings.markdown.description"));
    //% "Write a Markdown file with every export"
    enabled_->setText(qtTrId("settings.markdown.enabled"));
    //% "Use Obsidian embeds for images"
    obsidian_->setText(qtTrId("settings.markdown.obsidian"));
    if (obsidian_->isChecked())
        //% "Images are written as ![[images/file.jpg]]"
        obsidianExample_->setText(qtTrId("settings.markdown.obsidian.example.on"));
    else
        //% "Images are written as ![](images/file.jpg)"
        obsidianExample_->setText(qtTrId("settings.markdown.obsidian.example.off"));
    //% "Markdown folder:"
    folderLabel_->setText(qtTrId("settings.markdown.folder"));
    //% "Same folder as the HTML export"
    folder_->setDefaultText(qtTrId("settings.markdown.folder.default"));
    //% "Choose the Markdown Folder"
    folder_->setChooserTitle(qtTrId("settings.markdown.folder.chooser"));
    folder_->retranslate();
    //% "In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images."
    folderNote_->setText(qtTrId("settings.markdown.folder.note"));
}

}  // namespace lumenote
