// Renders every page of the real main window to PNG files, without a display:
//   tolvar-shots [folder]   (default: "shots" beside the bin folder)
// The last two pictures of the pages show the result page as a successful and a failed upload
// leave it; one more shows the port page's list dropped, over made-up adapters.
#include "app/Form1.h"
#include "app/ToolApplication.h"
#include "framework/Application.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPortStartup.h"
#include "serial/EnumComPorts.h"
#include "serial/PortDetails.h"
#include "wizard/Assist.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Ports as a machine with a built-in UART and two USB adapters lists them, so that the picture
// is the same on every machine.
void InstallMadeUpPorts() {
    static const std::map<std::string, tolvar::TPortFacts> facts{
        {"/dev/ttyS0", {"", "", "", "", "", true}},
        {"/dev/ttyUSB0", {"FT232R USB UART", "FTDI", "0403", "6001", "A10K3XYZ", false}},
        {"/dev/ttyACM0", {"USB-Serial Controller", "Prolific", "067b", "2303", "", false}},
    };
    tolvar::SetComPortSource([] {
        std::vector<std::string> names;
        for (const auto& [name, _] : facts)
            names.push_back(name);
        return names;
    });
    tolvar::SetComPortDescriber([](const std::vector<std::string>& names) {
        std::vector<std::string> lines;
        for (const std::string& name : names)
            lines.push_back(facts.count(name) != 0 ? tolvar::PortDetailText(facts.at(name)) : "");
        return lines;
    });
}

// The window with its list dropped: the list is a window of its own, painted over the form.
QPixmap WithDroppedList(QWidget* window, QComboBox* list) {
    list->showPopup();
    QApplication::processEvents();
    QWidget* popup = list->view()->window();
    const QPoint at = popup->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0));
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    painter.drawPixmap(at, popup->grab());
    painter.end();
    list->hidePopup();
    return shot;
}

} // namespace

int main(int argc, char** argv) {
    const tolvar::TToolApplication app(argc, argv);
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

        // The port page of a window that found the made-up adapters at start-up.
        InstallMadeUpPorts();
        tolvar::TForm1 ported;
        ported.ShowWindow();
        ported.LMDAssist1->SetActivePage(ported.LMDAssist1->GetPage(4));
        QApplication::processEvents();
        auto* list = qobject_cast<QComboBox*>(tolvar::QtWidget(
            *dynamic_cast<tolvar::TControl*>(ported.FindComponent("ComComboBox2"))));
        if (list == nullptr)
            throw tolvar::Exception("no port list");
        const QString path = folder + "/5-port-list-dropped.png";
        if (!WithDroppedList(tolvar::QtWidget(ported), list).save(path))
            throw tolvar::Exception("cannot write " + path.toStdString());
        std::printf("%s\n", qPrintable(QDir::cleanPath(path)));
    } catch (const tolvar::Exception& e) {
        // No one could answer a box here.
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
