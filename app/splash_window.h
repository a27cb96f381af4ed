// The splash window shown while the program starts: the start-up text and a
// progress text that other parts of the program may set.
#pragma once

#include <QWidget>

class QLabel;

class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    SplashWindow();

    // Replaces the progress text (a line break starts a new line).
    void ShowSomeInfo(const QString& info);

    // "Starting Velmora...", an empty line, then the version line.
    static QString StartUpText();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* lbla_;
    QLabel* lblB_;
};
