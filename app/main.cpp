#include "command_line.h"
#include "program_fonts.h"
#include "startup.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // Before QApplication, which needs a display.
    if (const std::optional<std::string> answer = TerminalAnswer(argc, argv)) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    app.setApplicationName("Velmora");
    LoadProgramFonts(); // before the first window
    StartUp startUp;
    if (startUp.Run() != 0)
        return 1;
    return app.exec();
}
