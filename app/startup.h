// The start-up sequence: open the chip's driver device, show the splash, load
// the DSP vocabulary, register the listing language and open the main window.
#pragma once

#include "main_window.h"

#include <functional>
#include <memory>

class SplashWindow;

class StartUp {
  public:
    // loadSymbols reads the DSP vocabulary; by default the shipped symbol file.
    explicit StartUp(std::function<void()> loadSymbols = {});
    ~StartUp();

    // Runs the sequence once. Returns 0 when the main window is up; 1 when the
    // driver device could not be opened (the user has seen the error box and
    // the program should end).
    int Run();

    MainWindow* mainWindow() const { return main_.get(); }
    // The splash while it is up, so that other parts can post progress text.
    SplashWindow* splash() const { return splash_.get(); }

  private:
    void UnloadSplash();

    std::function<void()> loadSymbols_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<MainWindow> main_;
};
