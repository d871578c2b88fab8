// The reference for the program's start-up: a bare window of the same toolkit and size, shown
// as soon as the toolkit is up.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("bare window");
    window.resize(575, 405);
    window.show();
    return QApplication::exec();
}
