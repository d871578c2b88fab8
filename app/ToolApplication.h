#pragma once

// The start of the developer tools that show the real main form (the screenshots, the accessible
// tree): the program's own start-up over the Qt widget set, offscreen unless a platform is named.

#include "app/Form1.h"
#include "framework/Application.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QtGlobal>

namespace tolvar {

class TToolApplication {
public:
    TToolApplication(int& argc, char** argv) : app_(Prepare(argc), argv) {
        SetApplicationTitle(kApplicationTitle);
    }

private:
    // Before the toolkit starts, and before any other thread runs: the first port error may be
    // worded on the upload's thread.
    static int& Prepare(int& argc) {
        InitTextLookup();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }

    TQtApplication app_;
};

} // namespace tolvar
