#include "app/Form1.h"
#include "framework/Application.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPortStartup.h"

int main(int argc, char** argv) {
    // Before any other thread runs: the first port error may be worded on the upload's thread.
    tolvar::InitTextLookup();
    tolvar::TQtApplication app(argc, argv);
    tolvar::SetApplicationTitle(tolvar::kApplicationTitle);
    std::string description;
    try {
        tolvar::ComPortModuleStartup();
        description = tolvar::StoredForm1Description();
    } catch (...) {
        tolvar::HandleException();
        return 1;
    }
    return tolvar::RunWizard(description);
}
