#include "app/Form1.h"
#include "app/RunLog.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtSingleInstance.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // For support: where the log is and what the last run did; no window, no port.
    if (argc == 2 && std::strcmp(argv[1], "--log") == 0) {
        std::fputs(tolvar::RunLogReport().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
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
