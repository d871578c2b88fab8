// Renders every page of the real main window to PNG files, without a display:
//   tolvar-shots [folder]   (default: "shots" beside the bin folder)
// The last two pictures show the result page as a successful and a failed upload leave it.
#include "app/Form1.h"
#include "framework/Application.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPortStartup.h"
#include "wizard/Assist.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    // Before any other thread runs: the first port error may be worded on the upload's thread.
    tolvar::InitTextLookup();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tolvar::TQtApplication app(argc, argv);
    tolvar::SetApplicationTitle(tolvar::kApplicationTitle);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QCoreApplication::applicationDirPath() + "/../shots";
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    try {
        tolvar::ComPortModuleStartup();
        tolvar::TForm1 form;
        form.ShowWindow();
        tolvar::TLMDAssist& wizard = *form.LMDAssist1;
        auto save = [&](const QString& name) {
            QApplication::processEvents();
            const QString path = folder + "/" + name + ".png";
            if (!tolvar::QtWidget(form)->grab().save(path))
                throw tolvar::Exception("cannot write " + path.toStdString());
            std::printf("%s\n", qPrintable(QDir::cleanPath(path)));
        };
        for (int i = 0; i < wizard.GetCount(); ++i) {
            wizard.SetActivePage(wizard.GetPage(i));
            save(
                QString("%1-%2").arg(i + 1).arg(QString::fromStdString(wizard.GetPage(i)->Name())));
        }
        // The result page as the two outcomes of an upload leave it.
        wizard.SetActivePage(wizard.GetPage(wizard.GetCount() - 2));
        wizard.NextPage();
        wizard.GetButton(tolvar::btnPrev)->SetVisible(false);
        wizard.GetButton(tolvar::btnCancel)->SetVisible(false);
        form.lbl_FINISH->SetCaption(tolvar::kUploadSuccessText);
        save(QString("%1-after-upload").arg(wizard.GetCount() + 1));
        form.lbl_FINISH->SetCaption(tolvar::kUploadFailureText);
        form.lbl_FINISH_INFO->SetVisible(true);
        save(QString("%1-after-failed-upload").arg(wizard.GetCount() + 2));
    } catch (const tolvar::Exception& e) {
        // No one could answer a box here.
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
