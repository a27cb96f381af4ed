#include "splash_window.h"
#include "startup.h"
#include "support/modal_box.h"
#include "support/temp_dir.h"

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
