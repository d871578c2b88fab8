#include "app/ToolApplication.h"

#include "app/Form1.h"
#include "framework/Application.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <QtGlobal>

namespace tolvar {

TToolApplication::TToolApplication(int& argc, char** argv) {
    // Before the toolkit starts, and before any other thread runs: the first port error may be
    // worded on the upload's thread.
    InitTextLookup();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<TQtApplication>(argc, argv);
    SetApplicationTitle(kApplicationTitle);
}

TToolApplication::~TToolApplication() = default;

} // namespace tolvar
