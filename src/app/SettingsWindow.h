#pragma once

// The settings window: one page per group of preferences (general,
// consolidation, Markdown, tools, cache). Every control reads and writes the
// stored settings at once; there is no Apply step. All texts are rebuilt on a
// language change, so switching the language in the general page switches the
// open window too.

#include <QDialog>

class QListWidget;
class QStackedWidget;

namespace lumenote {

class LibraryStore;
class SettingsPage;

class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    enum class Page { General, Consolidation, Markdown, Tools, Cache };
    Q_ENUM(Page)

    explicit SettingsWindow(QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // The library whose lectures protect their downloaded videos in the cache
    // page. Without one the page reads the library file itself.
    void setLibraryStore(const LibraryStore* store);

    // Brings the given page to the front.
    void showPage(Page page);
    Page currentPage() const;
    // The widget of a page (tests, screenshots).
    QWidget* pageWidget(Page page) const;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void retranslate();
    SettingsPage* page(int index) const;

    QListWidget* pageList_ = nullptr;
    QStackedWidget* pages_ = nullptr;
};

}  // namespace lumenote
