#include "app/FolderField.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lumenote {

FolderField::FolderField(QWidget* parent) : QWidget(parent) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("folderPath"));
    edit_->setClearButtonEnabled(true);
    chooseButton_ = new QPushButton(this);
    chooseButton_->setObjectName(QStringLiteral("chooseFolder"));
    resetButton_ = new QPushButton(this);
    resetButton_->setObjectName(QStringLiteral("resetFolder"));
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("folderError"));
    error_->setWordWrap(true);
    error_->setForegroundRole(QPalette::BrightText);
    error_->setStyleSheet(QStringLiteral("color: #c0392b;"));
    error_->hide();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_, 0, 0);
    layout->addWidget(chooseButton_, 0, 1);
    layout->addWidget(resetButton_, 0, 2);
    layout->addWidget(error_, 1, 0, 1, 3);

    connect(edit_, &QLineEdit::editingFinished, this, &FolderField::takeTypedPath);
    connect(chooseButton_, &QPushButton::clicked, this, [this] {
        const QString start = folder_.value_or(edit_->placeholderText());
        const QString picked = QFileDialog::getExistingDirectory(this, chooserTitle_, start);
        if (!picked.isEmpty()) choose(QDir::cleanPath(picked));
    });
    connect(resetButton_, &QPushButton::clicked, this, [this] { choose(std::nullopt); });
    retranslate();
}

void FolderField::retranslate() {
    //% "Choose…"
    chooseButton_->setText(qtTrId("settings.folder.choose"));
    //% "Use Default"
    resetButton_->setText(qtTrId("settings.folder.reset"));
    if (!error_->isHidden()) takeTypedPath();
}

void FolderField::setFolder(const std::optional<QString>& path) {
    folder_ = path && !path->isEmpty() ? path : std::nullopt;
    edit_->setText(folder_.value_or(QString()));
    resetButton_->setEnabled(folder_.has_value());
    error_->hide();
}

void FolderField::setDefaultText(const QString& text) { edit_->setPlaceholderText(text); }

void FolderField::takeTypedPath() {
    const QString typed = edit_->text().trimmed();
    if (typed.isEmpty()) {
        if (folder_) choose(std::nullopt);
        error_->hide();
        return;
    }
    const QString path = QDir::cleanPath(QDir::isAbsolutePath(typed) ? typed : QDir::home().absoluteFilePath(typed));
    if (!QFileInfo(path).isDir()) {
        //% "“%1” is not a folder. The setting was not changed."
        error_->setText(qtTrId("settings.folder.error.not.folder").arg(typed));
        error_->show();
        return;
    }
    if (path != folder_) choose(path);
    error_->hide();
}

void FolderField::choose(const std::optional<QString>& path) {
    setFolder(path);
    emit folderChosen(folder_);
}

}  // namespace lumenote
