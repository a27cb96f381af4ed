#include "startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Velmora");
    StartUp startUp;
    if (startUp.Run() != 0)
        return 1;
    return app.exec();
}
