#include "app/Form1.h"

#include "app/FormClasses.h"
#include "framework/ModuleResource.h"
#include "framework/widgets/Application.h"
#include "framework/widgets/FrameworkTexts.h"
#include "framework/widgets/MessageBoxes.h"
#include "serial/ComPort.h"
#include "wizard/Assist.h"

#include <QFile>
#include <memory>

namespace tolvar {

namespace {

template <class T> T* Field(TComponent& form, const char* name) {
    T* field = dynamic_cast<T*>(form.FindComponent(name));
    if (field == nullptr)
        throw EReadError(std::string("The form description holds no ") + name);
    return field;
}

} // namespace

std::string StoredForm1Description() {
#ifdef _WIN32
    // On Windows the description is the executable's resource "TFORM1".
    const auto bytes = LoadRcDataResource("TFORM1");
    if (!bytes)
        throw Exception("The stored description of TForm1 is missing");
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->size);
#else
    QFile file(QStringLiteral(":/TForm1.xml"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception("The stored description of TForm1 is missing");
    return file.readAll().toStdString();
#endif
}

TForm1::TForm1() : TForm1(StoredForm1Description()) {}

TForm1::TForm1(std::string_view description) {
    handlers_.Add<void(TComponent*)>("LMDAssist1CancelClick",
                                     [this](TComponent* sender) { LMDAssist1CancelClick(sender); });
    handlers_.Add<void(TComponent*, bool&)>(
        "LMDAssist1Completed",
        [this](TComponent* sender, bool& cancel) { LMDAssist1Completed(sender, cancel); });
    ReadDescription(description, "TForm1", FormClasses());
}

void TForm1::Loaded() {
    // Runs before any stored object's Loaded, so the fields are there for them.
    LMDAssist1 = Field<TLMDAssist>(*this, "LMDAssist1");
    ComPort = Field<TComPort>(*this, "ComPort");
    TCustomForm::Loaded();
}

void TForm1::LMDAssist1CancelClick(TComponent*) {
    TMessageRequest request;
    request.caption = FrameworkText(kSMsgDlgConfirm);
    request.text = "Czy chcesz przerwać proces aktualizacji oprogramowania ?";
    request.icon = TMsgIcon::Question;
    request.buttons = {{FrameworkText(kSMsgDlgYes), mrYes}, {FrameworkText(kSMsgDlgNo), mrNo}};
    request.defaultResult = mrYes;
    request.escapeResult = mrNo;
    request.centreOnScreen = true;
    if (MessageBoxes().Show(request) == mrYes)
        close();
}

void TForm1::LMDAssist1Completed(TComponent*, bool&) {
    close();
}

int RunWizard(std::string_view description) {
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(description);
    } catch (...) {
        HandleException();
        return 1;
    }
    form->show();
    QApplication::exec();
    form.reset();
    return 0;
}

} // namespace tolvar
