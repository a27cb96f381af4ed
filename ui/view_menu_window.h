// Base of the four inspection windows. They are top-level windows of their
// own that the main window's View menu shows and hides; the entry's check mark
// is the one record of whether a window is meant to be shown, so a user's close
// only hides the window and clears that mark.
#pragma once

#include <QMainWindow>

class QAction;

class ViewMenuWindow : public QMainWindow {
    Q_OBJECT
  public:
    // viewEntry is the main window's View menu entry of this window.
    explicit ViewMenuWindow(QAction* viewEntry, QWidget* parent = nullptr);

    // Moves the window so that its frame starts topTwips from the top of the
    // screen; left, width and height stay the window's own.
    void placeAtTop(int topTwips);

    // Lets the next close go through (the program is ending).
    void allowClose() { closing_ = true; }

  protected:
    // What every inspection window sets up first: its name, its caption, a
    // tool window's frame and the program's window font.
    void SetUpWindow(const char* name, const QString& caption);

    void closeEvent(QCloseEvent* event) override;
    QAction* viewEntry() const { return viewEntry_; }

  private:
    QAction* viewEntry_;
    bool closing_ = false;
};
