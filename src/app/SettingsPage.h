#pragma once

// One page of the settings window. Pages build their texts in retranslate(),
// which runs once at construction and again on every language change, and
// refresh what they show from the services when the window brings them up.

#include <QEvent>
#include <QLabel>
#include <QWidget>

namespace lumenote {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Called each time the page comes to the front.
    virtual void pageShown() {}
    virtual void retranslate() = 0;

protected:
    // The page's title, larger and bold.
    QLabel* createHeading() {
        auto* heading = new QLabel(this);
        QFont font = heading->font();
        font.setPointSizeF(font.pointSizeF() * 1.3);
        font.setBold(true);
        heading->setFont(font);
        return heading;
    }
    // A wrapped label for an explanation or a state, dimmed unless asked not to be.
    static QLabel* createNote(QWidget* parent, const char* name = nullptr, bool dimmed = true) {
        auto* label = new QLabel(parent);
        if (name) label->setObjectName(QLatin1String(name));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (dimmed) label->setForegroundRole(QPalette::PlaceholderText);
        return label;
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::LanguageChange) retranslate();
        QWidget::changeEvent(event);
    }
};

}  // namespace lumenote
