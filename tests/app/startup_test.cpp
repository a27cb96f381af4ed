#include "splash_window.h"
#include "startup.h"
#include "support/modal_box.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "symbol_names.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

TEST(StartUp, WithoutTheDriverShowsOnlyTheErrorBoxAndEnds) {
    TempDir noService; // a runtime folder where no driver service listens
    setenv("XDG_RUNTIME_DIR", noService.path().c_str(), 1);

    ModalBoxAnswer answer;
    StartUp startUp;
    EXPECT_EQ(startUp.Run(), 1);
    EXPECT_TRUE(answer.seen());
    EXPECT_EQ(answer.text(), "Error: Can't open emuaps.vxd!");
    EXPECT_EQ(answer.title(), "Velmora");
    EXPECT_EQ(answer.icon(), QMessageBox::Critical);
    EXPECT_EQ(answer.buttonCount(), 1);
    EXPECT_EQ(startUp.mainWindow(), nullptr);
    EXPECT_EQ(startUp.splash(), nullptr);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().begin(),
                             QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return w->isVisible(); }));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(StartUp, WithTheDriverEndsWithTheMainBarUpTheSplashGoneAndTheArrowBack) {
    TempDir runtime;
    ServiceProcess service(runtime.path(), std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip");
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);

    StartUp startUp;
    ASSERT_EQ(startUp.Run(), 0);
    ASSERT_NE(startUp.mainWindow(), nullptr);
    EXPECT_TRUE(startUp.mainWindow()->isVisible());
    EXPECT_EQ(startUp.splash(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_NE(startUp.mainWindow()->window(WindowKind::Microcode), nullptr);
    EXPECT_NE(startUp.mainWindow()->window(WindowKind::Effects), nullptr);
    EXPECT_EQ(startUp.mainWindow()->window(WindowKind::Registers), nullptr);
    // The vocabulary was loaded on the way.
    EXPECT_EQ(OpcodeName(6), "ACC3");
}

TEST(StartUp, AFailedStepTakesTheSplashDownAndStartUpGoesOn) {
    TempDir runtime;
    ServiceProcess service(runtime.path(), std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip");
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);

    bool splashWasUp = false;
    bool busyWhileLoading = false;
    StartUp* self = nullptr;
    StartUp startUp([&] {
        splashWasUp = self->splash() && self->splash()->isVisible();
        busyWhileLoading = QApplication::overrideCursor() &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        throw std::runtime_error("unreadable symbol file");
    });
    self = &startUp;
    ASSERT_EQ(startUp.Run(), 0);
    EXPECT_TRUE(splashWasUp);
    EXPECT_TRUE(busyWhileLoading);
    EXPECT_EQ(startUp.splash(), nullptr);
    ASSERT_NE(startUp.mainWindow(), nullptr);
    EXPECT_TRUE(startUp.mainWindow()->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
