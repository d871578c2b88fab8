#include "app/Form1.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtSingleInstance.h"
#include "framework/widgets/qt/QtWidgetSet.h"

int main(int argc, char** argv) {
    // Before any other thread runs: the first port error may be worded on the upload's thread.
    tolvar::InitTextLookup();
    tolvar::TQtApplication app(argc, argv);
    // A second start raises the running wizard and ends; it never touches a port.
    const tolvar::TQtSingleInstance instance;
    if (!instance.First()) {
        instance.AskFirstToRaise();
        return 0;
    }
    return tolvar::StartWizard();
}
