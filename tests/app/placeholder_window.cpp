#include "placeholder_window.h"

#include "twips.h"

PlaceholderWindow::PlaceholderWindow(QAction* viewEntry, const QString& caption, int topTwips)
    : ViewMenuWindow(viewEntry) {
    setWindowTitle(caption);
    resize(TwipsToPixels(7335), TwipsToPixels(4470));
    placeAtTop(topTwips);
}

ViewMenuWindow* CreatePlaceholderWindow(WindowKind kind, QAction* viewEntry) {
    struct Place {
        const char* caption;
        int topTwips;
    };
    static const Place places[] = {
        {"Microcode Memory", 660},
        {"FX Code View (eapsfx.dll)", 720},
        {"General Purpose Registers", 780},
        {"Tank Memory Usage", 840},
    };
    const Place& p = places[static_cast<int>(kind)];
    auto* window = new PlaceholderWindow(viewEntry, p.caption, p.topTwips);
    window->show();
    return window;
}
