#pragma once

// A folder setting: the chosen path in an editable field, a button that opens
// the folder chooser and one that goes back to the default (shown as the
// field's placeholder). A typed path is taken when it names an existing
// folder; anything else is refused with a message and the stored choice stays.

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace lumenote {

class FolderField : public QWidget {
    Q_OBJECT
public:
    explicit FolderField(QWidget* parent = nullptr);

    // Shows a stored choice (none = the default) without emitting.
    void setFolder(const std::optional<QString>& path);
    std::optional<QString> folder() const { return folder_; }
    void setDefaultText(const QString& text);
    void setChooserTitle(const QString& title) { chooserTitle_ = title; }
    void retranslate();

    QLineEdit* lineEdit() const { return edit_; }
    QLabel* errorLabel() const { return error_; }

signals:
    // The user picked a folder, or went back to the default (none).
    void folderChosen(const std::optional<QString>& path);

private:
    void takeTypedPath();
    void choose(const std::optional<QString>& path);

    QLineEdit* edit_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QLabel* error_ = nullptr;
    QString chooserTitle_;
    std::optional<QString> folder_;
};

}  // namespace lumenote
