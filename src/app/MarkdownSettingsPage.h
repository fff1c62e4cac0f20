#pragma once

// Markdown settings: whether every export also writes a Markdown file, the
// Obsidian embed syntax for images, and the folder the files go to.

#include "app/SettingsPage.h"

class QCheckBox;
class QLabel;

namespace lumenote {

class FolderField;

class MarkdownSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit MarkdownSettingsPage(QWidget* parent = nullptr);

    void pageShown() override;
    void retranslate() override;

private:
    void load();
    void updateEnabled();

    QLabel* heading_ = nullptr;
    QLabel* description_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QCheckBox* obsidian_ = nullptr;
    QLabel* obsidianExample_ = nullptr;
    QLabel* folderLabel_ = nullptr;
    FolderField* folder_ = nullptr;
    QLabel* folderNote_ = nullptr;
};

}  // namespace lumenote
