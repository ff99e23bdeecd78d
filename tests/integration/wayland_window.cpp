// An application of the test's own for the Wayland tests: one window whose app id is the
// first argument, open until the process is ended.
#include <QGuiApplication>
#include <QRasterWindow>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(app.arguments().value(1));
    QRasterWindow window;
    window.resize(320, 200);
    window.show();
    return app.exec();
}
