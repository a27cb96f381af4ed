#include "startup.h"

#include "chip_snapshots.h"
#include "effects_library.h"
#include "listing_language.h"
#include "program_symbols.h"
#include "service_lost_box.h"
#include "splash_window.h"
#include "symbol_file.h"
#include "zendra.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

StartUp::StartUp(std::function<void()> loadSymbols) : loadSymbols_(std::move(loadSymbols)) {
    if (!loadSymbols_)
        loadSymbols_ = [] { LoadSymbolFile(); };
}
StartUp::~StartUp() = default;

void StartUp::UnloadSplash() {
    splash_.reset();
}

int StartUp::Run() {
    if (ifInitApsIo() != 0) {
        QMessageBox::critical(nullptr, "Velmora", "Error: Can't open emuaps.vxd!", QMessageBox::Ok);
        return 1;
    }
    SetSnapshotFailureNotice([](const char* reason) { ShowServiceLostBox(reason); });

    // A step that fails takes the splash down and start-up goes on with the
    // next step, using whatever was loaded so far.
    const std::function<void()> steps[] = {
        [this] {
            splash_ = std::make_unique<SplashWindow>();
            splash_->show();
            QCoreApplication::processEvents();
            // The first run's copy of the effects library is announced here.
            SetLibraryNotice([this](const std::string& text) {
                if (!splash_)
                    return;
                splash_->ShowSomeInfo(QString::fromLocal8Bit(text.c_str()));
                QCoreApplication::processEvents();
            });
        },
        [] { QApplication::setOverrideCursor(Qt::WaitCursor); },
        [this] { loadSymbols_(); },
        [] { RefreshProgramSymbols(); },
        [] { RegisterListingLanguage(); },
        [this] {
            main_ = std::make_unique<MainWindow>();
            main_->show();
            main_->Load();
        },
    };
    for (const auto& step : steps) {
        try {
            step();
        } catch (const std::exception& e) {
            // No message box: start-up goes on. A terminal still learns why.
            std::fprintf(stderr, "velmora: %s\n", e.what());
            UnloadSplash();
        }
    }
    // Back to the arrow whether or not a step failed.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    UnloadSplash();
    return 0;
}
