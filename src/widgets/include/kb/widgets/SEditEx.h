// A line edit that reports Enter as "on_key_enter" and leaves caret and selection to the keyboard.
#pragma once

#include <QLineEdit>

class SEditEx : public QLineEdit {
    Q_OBJECT
  public:
    static constexpr const char16_t* kElementName = u"editex";

    explicit SEditEx(QWidget* parent = nullptr);

  signals:
    void keyEnter();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
