#include "inspection_window.h"

#include "twips.h"

#include <QAction>
#include <QCloseEvent>

InspectionWindow::InspectionWindow(QAction* viewEntry, QWidget* parent)
    : QMainWindow(parent), viewEntry_(viewEntry) {}

void InspectionWindow::placeAtTop(int topTwips) {
    move(x(), TwipsToPixels(topTwips));
}

void InspectionWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
    if (viewEntry_)
        viewEntry_->setChecked(false);
}
