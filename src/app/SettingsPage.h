#pragma once

// One page of the settings window. Pages build their texts in retranslate(),
// which runs once at construction and again on every language change, and
// refresh what they show from the services when the window brings them up.

#include <QEvent>
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
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::LanguageChange) retranslate();
        QWidget::changeEvent(event);
    }
};

}  // namespace lumenote
