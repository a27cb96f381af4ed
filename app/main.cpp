#include "program_fonts.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Velmora");
    LoadProgramFonts(); // before the first window
    StartUp startUp;
    if (startUp.Run() != 0)
        return 1;
    return app.exec();
}
