#include "app/SettingsWindow.h"

#include "app/CacheSettingsPage.h"
#include "app/ConsolidationSettingsPage.h"
#include "app/GeneralSettingsPage.h"
#include "app/MarkdownSettingsPage.h"
#include "app/ToolsSettingsPage.h"

#include <QEvent>
#include <QShowEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QScrollArea>
#include <QStackedWidget>

namespace lumenote {

namespace {
const char* const kPageIcons[] = {"preferences-system", "accessories-text-editor", "text-x-generic", "applications-utilities",
                                  "drive-harddisk"};
}

SettingsWindow::SettingsWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("settingsWindow"));
    pageList_ = new QListWidget(this);
    pageList_->setObjectName(QStringLiteral("settingsPageList"));
    pageList_->setIconSize(QSize(22, 22));
    pageList_->setSpacing(2);
    pages_ = new QStackedWidget(this);
    const QList<SettingsPage*> pages{new GeneralSettingsPage, new ConsolidationSettingsPage, new MarkdownSettingsPage,
                                     new ToolsSettingsPage, new CacheSettingsPage};
    for (int i = 0; i < pages.size(); ++i) {
        auto* item = new QListWidgetItem(QIcon::fromTheme(QLatin1String(kPageIcons[i])), QString(), pageList_);
        item->setSizeHint(QSize(150, 34));
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(pages[i]);
        pages_->addWidget(scroll);
    }
    pageList_->setFixedWidth(170);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(pageList_);
    layout->addWidget(pages_, 1);
    connect(pageList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        pages_->setCurrentIndex(row);
        if (isVisible()) page(row)->pageShown();
    });
    pageList_->setCurrentRow(0);
    resize(820, 600);
    retranslate();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::setLibraryStore(const LibraryStore* store) {
    static_cast<CacheSettingsPage*>(page(static_cast<int>(Page::Cache)))->setLibraryStore(store);
    static_cast<GeneralSettingsPage*>(page(static_cast<int>(Page::General)))->setLibraryStore(store);
}

SettingsPage* SettingsWindow::page(int index) const {
    return static_cast<SettingsPage*>(static_cast<QScrollArea*>(pages_->widget(index))->widget());
}

void SettingsWindow::showPage(Page page) { pageList_->setCurrentRow(static_cast<int>(page)); }

SettingsWindow::Page SettingsWindow::currentPage() const { return static_cast<Page>(pages_->currentIndex()); }

QWidget* SettingsWindow::pageWidget(Page p) const { return page(static_cast<int>(p)); }

void SettingsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) page(pages_->currentIndex())->pageShown();
}

void SettingsWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void SettingsWindow::retranslate() {
    //% "Settings"
    setWindowTitle(qtTrId("settings.window.title"));
    //% "General"
    pageList_->item(0)->setText(qtTrId("settings.tab.general"));
    //% "Consolidation"
    pageList_->item(1)->setText(qtTrId("settings.tab.consolidation"));
    //% "Markdown"
    pageList_->item(2)->setText(qtTrId("settings.tab.markdown"));
    //% "Tools"
    pageList_->item(3)->setText(qtTrId("settings.tab.tools"));
    //% "Cache"
    pageList_->item(4)->setText(qtTrId("settings.tab.cache"));
}

}  // namespace lumenote
