#include "placeholder_window.h"

#include "twips.h"

PlaceholderWindow::PlaceholderWindow(QAction* viewEntry, const QString& caption, int topTwips)
    : InspectionWindow(viewEntry) {
    setWindowTitle(caption);
    resize(TwipsToPixels(7335), TwipsToPixels(4470));
    placeAtTop(topTwips);
}
