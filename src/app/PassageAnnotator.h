#pragma once

// Marks up one passage (transcript) or paragraph (notes tab): its text is
// selectable with the highlights painted on their first occurrence; the
// selected phrase becomes a highlight through the four-colour picker or the
// anchor of a margin note; chips list the highlights (select, delete) and
// margin notes (select, edit, delete). Every change goes through the
// document, so it is undoable and stored.

#include "workspace/LectureDocument.h"
#include "workspace/TextSearch.h"
#include "workspace/Timeline.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QToolButton;
class QHBoxLayout;

namespace lumenote {

class PassageAnnotator : public QWidget {
    Q_OBJECT
public:
    PassageAnnotator(LectureDocument& document, AnnotationView view, QWidget* parent = nullptr);

    // Shows a passage or paragraph; `position` is its start time or index.
    void showPassage(double position, const QString& text, const AnchoredAnnotations& annotations);
    void clearPassage();
    bool hasPassage() const { return hasPassage_; }
    double position() const { return position_; }

    // The passage text's size, as the expanded sheet sets it (12 to 22 points).
    void setTextPointSize(double points);

    // The selected phrase (the text view's selection), empty when none.
    QString selectedText() const;
    // Selects the first occurrence of a phrase, as a chip does.
    void selectPhrase(const QString& phrase);

    // The parts tests and the panel drive.
    QTextEdit* textView() const { return text_; }
    QWidget* colorPicker() const { return picker_; }
    QWidget* marginEditor() const { return editor_; }
    QToolButton* colorButton(TextHighlight::HighlightColor color) const;
    QPushButton* highlightButton() const { return highlight_; }
    QPushButton* marginButton() const { return margin_; }
    QLineEdit* anchorField() const { return anchor_; }
    QPlainTextEdit* noteField() const { return note_; }
    QComboBox* sidePicker() const { return side_; }
    QPushButton* submitButton() const { return submit_; }
    QList<QToolButton*> chips() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void paintHighlights();
    void rebuildChips();
    void openEditor(const std::optional<MarginNote>& existing);
    void commitEditor();
    void closeEditor();
    void updateButtons();

    LectureDocument& document_;
    AnnotationView view_;
    bool hasPassage_ = false;
    double position_ = 0;
    AnchoredAnnotations annotations_;
    QString pendingHighlight_;
    std::optional<QUuid> editingMarginNote_;
    HighlightRequestTracker requests_;

    QTextEdit* text_ = nullptr;
    QPushButton* highlight_ = nullptr;
    QPushButton* margin_ = nullptr;
    QWidget* picker_ = nullptr;
    QLabel* pickerLabel_ = nullptr;
    QToolButton* colors_[4] = {};
    QWidget* editor_ = nullptr;
    QLabel* anchorLabel_ = nullptr;
    QLineEdit* anchor_ = nullptr;
    QLabel* noteLabel_ = nullptr;
    QPlainTextEdit* note_ = nullptr;
    QLabel* sideLabel_ = nullptr;
    QComboBox* side_ = nullptr;
    QPushButton* submit_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QWidget* chipArea_ = nullptr;
    QHBoxLayout* chipLayout_ = nullptr;
};

}  // namespace lumenote
