#include "app/Form1.h"
#include "framework/TextLookup.h"
#include "framework/Thread.h"
#include "framework/widgets/Application.h"
#include "serial/ComPortStartup.h"

#include <QIcon>
#include <QMetaObject>

int main(int argc, char** argv) {
    // Before any other thread runs: the first port error may be worded on the upload's thread.
    tolvar::InitTextLookup();
    tolvar::TApplication app(argc, argv);
    tolvar::SetApplicationTitle(tolvar::kApplicationTitle);
    // No display name: Qt would append it to the form's caption, which must stay exact.
    QApplication::setDesktopFileName(QStringLiteral("tolvar-update"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/tolvar.png")));
    // Calls that other threads (the port's event watcher) hand over run from the message loop.
    tolvar::SetSynchronizeWakeUp([] {
        QMetaObject::invokeMethod(
            qApp, [] { tolvar::CheckSynchronize(); }, Qt::QueuedConnection);
    });
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
