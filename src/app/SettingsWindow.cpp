#include "app/SettingsWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>

namespace lumenote {

namespace {
constexpr int kPageCount = 5;
}

SettingsWindow::SettingsWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("settingsWindow"));
    pageList_ = new QListWidget(this);
    pages_ = new QStackedWidget(this);
    for (int i = 0; i < kPageCount; ++i) {
        pageList_->addItem(QString());
        pages_->addWidget(new QLabel(this));
    }
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(pageList_);
    layout->addWidget(pages_, 1);
    connect(pageList_, &QListWidget::currentRowChanged, pages_, &QStackedWidget::setCurrentIndex);
    pageList_->setCurrentRow(0);
    retranslate();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::showPage(Page page) { pageList_->setCurrentRow(static_cast<int>(page)); }

SettingsWindow::Page SettingsWindow::currentPage() const { return static_cast<Page>(pages_->currentIndex()); }

QWidget* SettingsWindow::pageWidget(Page page) const { return pages_->widget(static_cast<int>(page)); }

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
