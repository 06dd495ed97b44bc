// Program entry of the service tool. Until the main window is built this shows an
// empty window with the program's caption.
#include <QApplication>
#include <QMainWindow>

#include "common/text_format.h"
#include "common/version.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    using namespace qrt::common;
    window.setWindowTitle(QString::fromStdString(format("QRT-Tester - V%d.%d.%d.%d", kVersionMajor,
                                                        kVersionMinor, kVersionPatch,
                                                        kVersionTweak)));
    window.resize(571, 713);
    window.show();
    return QApplication::exec();
}
