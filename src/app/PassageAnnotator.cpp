#include "app/PassageAnnotator.h"

#include "app/TranscriptRowDelegate.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumenote {

namespace {

constexpr TextHighlight::HighlightColor kColors[4] = {TextHighlight::HighlightColor::Yellow, TextHighlight::HighlightColor::Green,
                                                      TextHighlight::HighlightColor::Blue, TextHighlight::HighlightColor::Pink};

QIcon swatch(TextHighlight::HighlightColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromRgb(swatchRgb(color)));
    p.setPen(Qt::NoPen);
    p.drawEllipse(1, 1, 14, 14);
    return QIcon(pixmap);
}

QString colorLabel(TextHighlight::HighlightColor color) {
    switch (color) {
    case TextHighlight::HighlightColor::Yellow:
        //% "Yellow"
        return qtTrId("transcript.highlight.color.yellow");
    case TextHighlight::HighlightColor::Green:
        //% "Green"
        return qtTrId("transcript.highlight.color.green");
    case TextHighlight::HighlightColor::Blue:
        //% "Blue"
        return qtTrId("transcript.highlight.color.blue");
    case TextHighlight::HighlightColor::Pink:
        //% "Pink"
        return qtTrId("transcript.highlight.color.pink");
    }
    return {};
}

}  // namespace

PassageAnnotator::PassageAnnotator(LectureDocument& document, AnnotationView view, QWidget* parent)
    : QWidget(parent), document_(document), view_(view) {
    text_ = new QTextEdit(this);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setMinimumHeight(60);
    text_->setMaximumHeight(90);
    connect(text_, &QTextEdit::selectionChanged, this, &PassageAnnotator::updateButtons);

    highlight_ = new QPushButton(this);
    margin_ = new QPushButton(this);
    connect(highlight_, &QPushButton::clicked, this, [this] {
        pendingHighlight_ = selectedText();
        if (pendingHighlight_.isEmpty()) return;
        closeEditor();
        picker_->show();
    });
    connect(margin_, &QPushButton::clicked, this, [this] { openEditor(std::nullopt); });

    picker_ = new QWidget(this);
    auto* pickerRow = new QHBoxLayout(picker_);
    pickerRow->setContentsMargins(0, 0, 0, 0);
    pickerLabel_ = new QLabel(picker_);
    pickerRow->addWidget(pickerLabel_);
    for (int i = 0; i < 4; ++i) {
        colors_[i] = new QToolButton(picker_);
        colors_[i]->setIcon(swatch(kColors[i]));
        colors_[i]->setAutoRaise(true);
        pickerRow->addWidget(colors_[i]);
        connect(colors_[i], &QToolButton::clicked, this, [this, color = kColors[i]] {
            picker_->hide();
            if (!hasPassage_ || pendingHighlight_.isEmpty()) return;
            document_.addHighlight(view_, position_, pendingHighlight_, color);
            pendingHighlight_.clear();
        });
    }
    pickerRow->addStretch();
    picker_->hide();

    editor_ = new QWidget(this);
    auto* form = new QFormLayout(editor_);
    form->setContentsMargins(0, 0, 0, 0);
    anchorLabel_ = new QLabel(editor_);
    anchor_ = new QLineEdit(editor_);
    noteLabel_ = new QLabel(editor_);
    note_ = new QPlainTextEdit(editor_);
    note_->setMaximumHeight(56);
    sideLabel_ = new QLabel(editor_);
    side_ = new QComboBox(editor_);
    side_->addItems({QString(), QString()});  // right, left: texts set on retranslate
    submit_ = new QPushButton(editor_);
    cancel_ = new QPushButton(editor_);
    // The side picker shares the row of the buttons, so the editor stays short.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(side_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(submit_);
    form->addRow(anchorLabel_, anchor_);
    form->addRow(noteLabel_, note_);
    form->addRow(sideLabel_, buttons);
    connect(submit_, &QPushButton::clicked, this, &PassageAnnotator::commitEditor);
    connect(cancel_, &QPushButton::clicked, this, &PassageAnnotator::closeEditor);
    connect(anchor_, &QLineEdit::textChanged, this, &PassageAnnotator::updateButtons);
    editor_->hide();

    chipArea_ = new QWidget(this);
    chipLayout_ = new QHBoxLayout(chipArea_);
    chipLayout_->setContentsMargins(0, 0, 0, 0);
    chipLayout_->addStretch();

    // Chips on the left, the two actions on the right of one row.
    auto* actions = new QHBoxLayout;
    actions->addWidget(chipArea_, 1);
    actions->addWidget(highlight_);
    actions->addWidget(margin_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addLayout(actions);
    layout->addWidget(picker_);
    layout->addWidget(editor_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    retranslate();
    clearPassage();
}

void PassageAnnotator::setTextPointSize(double points) {
    QFont font = text_->font();
    font.setPointSizeF(points);
    text_->setFont(font);
    // Room for about three lines of the passage at that size.
    const int lines = QFontMetrics(font).lineSpacing() * 3 + 2 * text_->frameWidth() + 8;
    text_->setMaximumHeight(std::max(90, lines));
}

QToolButton* PassageAnnotator::colorButton(TextHighlight::HighlightColor color) const { return colors_[int(color)]; }

QList<QToolButton*> PassageAnnotator::chips() const { return chipArea_->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly); }

QString PassageAnnotator::selectedText() const {
    // The text view hands out paragraph separators for line breaks.
    return text_->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

void PassageAnnotator::showPassage(double position, const QString& text, const AnchoredAnnotations& annotations) {
    const bool same = hasPassage_ && position == position_ && text == text_->toPlainText();
    hasPassage_ = true;
    position_ = position;
    annotations_ = annotations;
    if (!same) {
        text_->setPlainText(text);
        picker_->hide();
        closeEditor();
    }
    paintHighlights();
    rebuildChips();
    setEnabled(true);
    updateButtons();
}

void PassageAnnotator::clearPassage() {
    hasPassage_ = false;
    annotations_ = {};
    text_->clear();
    picker_->hide();
    closeEditor();
    rebuildChips();
    updateButtons();
}

void PassageAnnotator::paintHighlights() {
    // Cleared over the whole text, then each highlight on its first occurrence.
    QList<QTextEdit::ExtraSelection> selections;
    for (const PaintedHighlight& h : std::as_const(annotations_.painted)) {
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(text_->document());
        s.cursor.setPosition(int(h.range.start));
        s.cursor.setPosition(int(h.range.end()), QTextCursor::KeepAnchor);
        s.format.setBackground(TranscriptRowDelegate::highlightColor(h.color));
        selections.append(s);
    }
    text_->setExtraSelections(selections);
}

void PassageAnnotator::selectPhrase(const QString& phrase) {
    const std::optional<TextRange> range = requests_.apply(HighlightRequest{phrase}, text_->toPlainText());
    if (!range) return;
    QTextCursor cursor(text_->document());
    cursor.setPosition(int(range->start));
    cursor.setPosition(int(range->end()), QTextCursor::KeepAnchor);
    text_->setTextCursor(cursor);
    text_->ensureCursorVisible();
}

void PassageAnnotator::rebuildChips() {
    for (QToolButton* chip : chips()) delete chip;
    int at = 0;
    for (const TextHighlight& h : std::as_const(annotations_.highlights)) {
        auto* chip = new QToolButton(chipArea_);
        chip->setIcon(swatch(h.color));
        chip->setText(h.anchorText);
        chip->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        chip->setPopupMode(QToolButton::MenuButtonPopup);
        chip->setProperty("annotationID", h.id);
        auto* menu = new QMenu(chip);
        //% "Delete highlight"
        menu->addAction(qtTrId("transcript.chip.highlight.delete"), this, [this, id = h.id] { document_.deleteHighlight(view_, id); });
        chip->setMenu(menu);
        connect(chip, &QToolButton::clicked, this, [this, phrase = h.anchorText] { selectPhrase(phrase); });
        chipLayout_->insertWidget(at++, chip);
    }
    for (const MarginNote& m : std::as_const(annotations_.marginNotes)) {
        auto* chip = new QToolButton(chipArea_);
        chip->setText(QStringLiteral("✎ ") + m.anchorText);
        chip->setToolTip(m.noteText);
        chip->setPopupMode(QToolButton::MenuButtonPopup);
        chip->setProperty("annotationID", m.id);
        auto* menu = new QMenu(chip);
        //% "Edit margin note"
        menu->addAction(qtTrId("transcript.chip.margin.edit"), this, [this, m] { openEditor(m); });
        //% "Delete margin note"
        menu->addAction(qtTrId("transcript.chip.margin.delete"), this, [this, id = m.id] { document_.deleteMarginNote(view_, id); });
        chip->setMenu(menu);
        connect(chip, &QToolButton::clicked, this, [this, phrase = m.anchorText] { selectPhrase(phrase); });
        chipLayout_->insertWidget(at++, chip);
    }
    chipArea_->setVisible(at > 0);
}

void PassageAnnotator::openEditor(const std::optional<MarginNote>& existing) {
    if (!hasPassage_) return;
    picker_->hide();
    editingMarginNote_ = existing ? std::optional<QUuid>(existing->id) : std::nullopt;
    anchor_->setText(existing ? existing->anchorText : selectedText());
    note_->setPlainText(existing ? existing->noteText : QString());
    side_->setCurrentIndex(existing && existing->side == MarginNote::Side::Left ? 1 : 0);
    retranslate();  // the submit label depends on the mode
    editor_->show();
    if (anchor_->text().isEmpty()) anchor_->setFocus();
    else note_->setFocus();
    updateButtons();
}

void PassageAnnotator::commitEditor() {
    if (!hasPassage_ || anchor_->text().isEmpty()) return;
    const MarginNote::Side side = side_->currentIndex() == 1 ? MarginNote::Side::Left : MarginNote::Side::Right;
    if (editingMarginNote_) document_.editMarginNote(view_, *editingMarginNote_, anchor_->text(), note_->toPlainText(), side);
    else document_.addMarginNote(view_, position_, anchor_->text(), note_->toPlainText(), side);
    closeEditor();
}

void PassageAnnotator::closeEditor() {
    editingMarginNote_.reset();
    editor_->hide();
}

void PassageAnnotator::updateButtons() {
    const bool hasSelection = hasPassage_ && !selectedText().isEmpty();
    highlight_->setEnabled(hasSelection);
    margin_->setEnabled(hasPassage_);
    submit_->setEnabled(!anchor_->text().isEmpty());
}

void PassageAnnotator::retranslate() {
    //% "Highlight"
    highlight_->setText(qtTrId("transcript.action.highlight"));
    //% "Margin note"
    margin_->setText(qtTrId("transcript.action.margin"));
    //% "Highlight colour"
    pickerLabel_->setText(qtTrId("transcript.highlight.picker"));
    for (int i = 0; i < 4; ++i) colors_[i]->setToolTip(colorLabel(kColors[i]));
    //% "Phrase to underline"
    anchorLabel_->setText(qtTrId("transcript.margin.anchor"));
    //% "Type or paste the exact phrase…"
    anchor_->setPlaceholderText(qtTrId("transcript.margin.anchor.placeholder"));
    //% "Note"
    noteLabel_->setText(qtTrId("transcript.margin.note"));
    //% "Side"
    sideLabel_->setText(qtTrId("transcript.margin.side"));
    //% "Right"
    side_->setItemText(0, qtTrId("transcript.margin.side.right"));
    //% "Left"
    side_->setItemText(1, qtTrId("transcript.margin.side.left"));
    //% "Save"
    const QString save = qtTrId("transcript.margin.save");
    //% "Add note"
    const QString add = qtTrId("transcript.margin.add");
    submit_->setText(editingMarginNote_ ? save : add);
    //% "Cancel"
    cancel_->setText(qtTrId("transcript.margin.cancel"));
    rebuildChips();
}

void PassageAnnotator::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

}  // namespace lumenote
