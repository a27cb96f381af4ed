// Answers the next modal message box from a timer, so a test can drive code
// that shows one. What the box said is kept for the test to check. If no box
// comes within the deadline, seen() stays false; a box that stays up longer
// than the deadline is closed anyway so the test fails instead of hanging.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

class ModalBoxAnswer : public QObject {
    Q_OBJECT
  public:
    explicit ModalBoxAnswer(int deadlineMs = 5000);

    bool seen() const { return seen_; }
    const QString& text() const { return text_; }
    const QString& title() const { return title_; }
    QMessageBox::Icon icon() const { return icon_; }
    int buttonCount() const { return buttons_; }

  private:
    void Poll();

    QTimer timer_;
    int remainingPolls_;
    bool seen_ = false;
    QString text_;
    QString title_;
    QMessageBox::Icon icon_ = QMessageBox::NoIcon;
    int buttons_ = 0;
};
