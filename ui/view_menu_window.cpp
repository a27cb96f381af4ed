#include "view_menu_window.h"

#include "program_fonts.h"
#include "twips.h"

#include <QAction>
#include <QCloseEvent>

ViewMenuWindow::ViewMenuWindow(QAction* viewEntry, QWidget* parent)
    : QMainWindow(parent), viewEntry_(viewEntry) {}

void ViewMenuWindow::SetUpWindow(const char* name, const QString& caption) {
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlag(Qt::Tool);
    setFont(WindowFont());
}

void ViewMenuWindow::placeAtTop(int topTwips) {
    move(x(), TwipsToPixels(topTwips));
}

void ViewMenuWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
    if (viewEntry_)
        viewEntry_->setChecked(false);
}
