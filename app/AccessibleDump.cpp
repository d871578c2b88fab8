// Prints what a screen reader finds in the real main window, page by page, through Qt's
// accessibility interface (what the AT-SPI bridge hands to Orca), without a display:
//   tolvar-a11y-dump
// Each page: what was announced when it came, then every showing object with its role, name,
// description, value and states. Then the programming page with TAK ticked, the result page
// after a successful and a failed upload, the Cancel confirmation and the port list's lines.
#include "app/Form1.h"
#include "app/ToolApplication.h"
#include "framework/Application.h"
#include "framework/MessageBoxes.h"
#include "framework/TextLookup.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPortStartup.h"
#include "update/FirmwareUpload.h"
#include "wizard/Assist.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QComboBox>
#include <QMetaEnum>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <string>

namespace {

QString Flat(QString text) {
    return text.replace(QLatin1Char('\n'), QStringLiteral(" | "));
}

QString States(const QAccessible::State& s) {
    QStringList names;
    if (s.focusable)
        names << "focusable";
    if (s.focused)
        names << "focused";
    if (s.disabled)
        names << "disabled";
    if (s.checkable)
        names << (s.checked ? "checked" : "unchecked");
    if (s.defaultButton)
        names << "default";
    if (s.readOnly)
        names << "read-only";
    if (s.linked)
        names << "linked";
    return names.join(',');
}

void Dump(QAccessibleInterface* object, int depth) {
    if (object == nullptr || object->state().invisible)
        return;
    const QString role =
        QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(object->role()));
    QString line = QString(depth * 2, QLatin1Char(' ')) + role;
    line += QStringLiteral(" \"%1\"").arg(Flat(object->text(QAccessible::Name)));
    if (const QString d = object->text(QAccessible::Description); !d.isEmpty())
        line += QStringLiteral(" description=\"%1\"").arg(Flat(d));
    if (QAccessibleValueInterface* value = object->valueInterface())
        line += QStringLiteral(" value=%1").arg(value->currentValue().toString());
    else if (const QString v = object->text(QAccessible::Value); !v.isEmpty())
        line += QStringLiteral(" value=\"%1\"").arg(Flat(v));
    for (const auto& [label, relation] : object->relations(QAccessible::Label))
        line += QStringLiteral(" labelled-by=\"%1\"").arg(Flat(label->text(QAccessible::Name)));
    if (const QString s = States(object->state()); !s.isEmpty())
        line += QStringLiteral(" [%1]").arg(s);
    std::printf("%s\n", qPrintable(line));
    // The dropped list of a closed combo box is not read; its lines are listed on their own.
    if (object->role() == QAccessible::ComboBox)
        return;
    for (int i = 0; i < object->childCount(); ++i)
        Dump(object->child(i), depth + 1);
}

void DumpWindow(QWidget* window) {
    QApplication::processEvents();
    Dump(QAccessible::queryAccessibleInterface(window), 0);
}

} // namespace

int main(int argc, char** argv) {
    const tolvar::TToolApplication app(argc, argv);
    try {
        tolvar::ComPortModuleStartup();
        tolvar::TForm1 form;
        form.ShowWindow();
        QWidget* window = tolvar::QtWidget(form);
        tolvar::TLMDAssist& wizard = *form.LMDAssist1;
        auto page = [&](const QString& title) {
            std::printf("\n== %s ==\n", qPrintable(title));
            DumpWindow(window);
        };
        page(QStringLiteral("1 (at start)"));
        for (int i = 1; i < wizard.GetCount() - 1; ++i) {
            wizard.NextPage();
            page(QString::number(i + 1));
        }
        form.Check_TAK->SetChecked(true);
        form.Check_TAKClick(form.Check_TAK);
        page(QStringLiteral("6 with TAK ticked"));

        // The Cancel confirmation, read while it is open, then answered No.
        QTimer::singleShot(100, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                std::printf("\n== Cancel confirmation ==\n");
                DumpWindow(box);
                box->close();
            }
        });
        form.LMDAssist1CancelClick(nullptr);

        // The result page as an upload leaves it.
        form.lbl_FINISH->SetCaption(tolvar::kUploadSuccessText);
        wizard.NextPage();
        page(QStringLiteral("7 after a successful upload"));
        wizard.PrevPage();
        form.lbl_FINISH->SetCaption(tolvar::kUploadFailureText);
        form.lbl_FINISH_INFO->SetVisible(true);
        wizard.NextPage();
        page(QStringLiteral("7 after a failed upload"));
    } catch (const tolvar::Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
