#include "always_on_top.h"

#include <QWindow>

int SetAlwaysOnTop(QWindow* handle, bool on) {
    if (!handle)
        return 0;
    // Setting the flag on the native window handle changes only the stacking
    // hint; going through QWidget::setWindowFlag would hide and recreate it.
    handle->setFlag(Qt::WindowStaysOnTopHint, on);
    return 1;
}
