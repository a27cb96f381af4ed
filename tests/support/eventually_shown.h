#pragma once

#include "eventually.h"

#include <QCoreApplication>

// Eventually, with the program's events handled between looks: for a window
// that must show what another thread or a service sends.
template <typename Condition>
bool EventuallyShown(Condition condition,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return Eventually(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        limit);
}
