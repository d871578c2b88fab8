#include "app/Form1.h"

#include "app/FormClasses.h"
#include "app/Platform.h"
#include "app/RunLog.h"
#include "app/WindowUpload.h"
#include "framework/Application.h"
#include "framework/FrameworkTexts.h"
#include "framework/MessageBoxes.h"
#include "framework/StdControls.h"
#include "serial/ComComboBox.h"
#include "serial/ComPort.h"
#include "serial/ComPortStartup.h"
#include "wizard/Assist.h"

#include <chrono>
#include <exception>
#include <memory>
#include <utility>

namespace tolvar {

namespace {

template <class T> T* Field(TComponent& form, const char* name) {
    T* field = dynamic_cast<T*>(form.FindComponent(name));
    if (field == nullptr)
        throw EReadError(std::string("The form description holds no ") + name);
    return field;
}

// The upload's reports, carried out on the controls of the form (UI thread only).
class TFormReporter final : public UploadReporter {
public:
    explicit TFormReporter(TForm1& form) : form_(form) {}

    void SetProgressMax(int maximum) override { form_.progress_PROGRAM->SetMax(maximum); }
    void SetProgressPosition(int position) override {
        form_.progress_PROGRAM->SetPosition(position);
    }
    void SetResultText(const std::string& text) override { form_.lbl_FINISH->SetCaption(text); }
    void ShowAdvice() override { form_.lbl_FINISH_INFO->SetVisible(true); }
    void ShowAdviceText(const std::string& text) override {
        form_.lbl_FINISH_INFO->SetCaption(text);
        form_.lbl_FINISH_INFO->SetVisible(true);
    }
    void AdvanceWizard() override { form_.LMDAssist1->NextPage(); }
    void HideBackAndCancel() override {
        form_.LMDAssist1->GetButton(btnPrev)->SetVisible(false);
        form_.LMDAssist1->GetButton(btnCancel)->SetVisible(false);
    }
    void ShowMissingPayload() override {
        TMessageRequest request;
        request.caption = "BŁĄD!";
        request.text = "Nie można przeprowadzić operacji. Zasób nie istnieje!";
        request.icon = TMsgIcon::Error;
        request.buttons = {{FrameworkText(kSMsgDlgOK), mrOk}};
        request.defaultResult = mrOk;
        request.escapeResult = mrOk;
        // The box needs the user's answer.
        const TInputUnblock answerable;
        MessageBoxes().Show(request);
    }

private:
    TForm1& form_;
};

} // namespace

TForm1::TForm1() : TForm1(StoredForm1Description()) {}

TForm1::TForm1(std::string_view description) {
    handlers_.Add<void(TComponent*)>("LMDAssist1CancelClick",
                                     [this](TComponent* sender) { LMDAssist1CancelClick(sender); });
    handlers_.Add<void(TComponent*, bool&)>(
        "LMDAssist1Completed",
        [this](TComponent* sender, bool& cancel) { LMDAssist1Completed(sender, cancel); });
    handlers_.Add<void(TComponent*)>("Check_TAKClick",
                                     [this](TComponent* sender) { Check_TAKClick(sender); });
    handlers_.Add<void(TComponent*)>("btn_PROGRAMClick",
                                     [this](TComponent* sender) { btn_PROGRAMClick(sender); });
    ReadDescription(description, "TForm1", FormClasses());
}

void TForm1::Loaded() {
    // Runs before any stored object's Loaded, so the fields are there for them.
    LMDAssist1 = Field<TLMDAssist>(*this, "LMDAssist1");
    ComPort = Field<TComPort>(*this, "ComPort");
    Check_TAK = Field<TCheckBox>(*this, "Check_TAK");
    btn_PROGRAM = Field<TButton>(*this, "btn_PROGRAM");
    lbl_PROGRAM = Field<TLabel>(*this, "lbl_PROGRAM");
    progress_PROGRAM = Field<TProgressBar>(*this, "progress_PROGRAM");
    lbl_FINISH = Field<TLabel>(*this, "lbl_FINISH");
    lbl_FINISH_INFO = Field<TLabel>(*this, "lbl_FINISH_INFO");
    DescribeForScreenReaders();
    TCustomForm::Loaded();
}

void TForm1::DescribeForScreenReaders() {
    // Each page is named by the label that heads it; the result page by its outcome.
    const std::pair<const char*, const char*> headed[] = {
        {"LMDAssistPage2", "LMDLabel4"},  {"LMDAssistPage3", "LMDLabel5"},
        {"LMDAssistPage4", "LMDLabel8"},  {"LMDAssistPage5", "LMDLabel10"},
        {"LMDAssistPage7", "LMDLabel12"}, {"LMDAssistPage6", "lbl_FINISH"},
    };
    for (const auto& [page, heading] : headed)
        Field<TLMDAssistPage>(*this, page)->SetHeading(Field<TLabel>(*this, heading));
    Field<TLMDAssistPage>(*this, "LMDAssistPage1")->SetAccessibleName("Witamy");
    // The list is labelled by the page's instruction, the bar by its caption.
    auto* ports = Field<TControl>(*this, "ComComboBox2");
    ports->SetLabelledBy(*Field<TLabel>(*this, "LMDLabel7"));
    ports->SetAccessibleName("Port szeregowy");
    progress_PROGRAM->SetLabelledBy(*lbl_PROGRAM);
    // "TAK" answers the question above it.
    Check_TAK->SetAccessibleDescription(Field<TLabel>(*this, "LMDLabel13")->Accessible().name);
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
        Close();
}

void TForm1::LMDAssist1Completed(TComponent*, bool&) {
    Close();
}

void TForm1::Check_TAKClick(TComponent*) {
    const bool armed = Check_TAK->Checked();
    btn_PROGRAM->SetEnabled(armed);
    lbl_PROGRAM->SetEnabled(armed);
    progress_PROGRAM->SetEnabled(armed);
}

void TForm1::btn_PROGRAMClick(TComponent*) {
    TFormReporter onForm(*this);
    TUiThreadReporter reporter(onForm);
    PortAdapter<TComPort> adapter(*ComPort);
    TRunRecord record;
    record.started = std::chrono::system_clock::now();
    record.port = ComPort->Port();
    record.portDetails = PickedPortDetails();
    const std::string line = LineSettingsText(ComPort->LineSettings(), ComPort->TimeoutValues());
    TRecordingReporter recording(reporter, record);
    TRecordingPort port(adapter, record);
    const PayloadSource source = payloadSource;
    // An update cut halfway can leave the controller unusable.
    const TSessionHold hold(kSessionHoldReason);
    RunBesideTheWindow([&] {
        std::exception_ptr error;
        try {
            RunFirmwareUpload(port, recording, source);
            reporter.Flush();
        } catch (...) {
            error = std::current_exception();
            reporter.Settle();
            try {
                port.NoteError(ShownErrorText(error));
            } catch (...) {
                // The record goes without the text; the error itself still reaches the user.
            }
        }
        // Still beside the window, after it has shown the outcome: the file costs the transfer
        // nothing, and whatever becomes of it changes nothing the user sees.
        if (port.Opened())
            record.line = line;
        KeepRunRecord(record);
        if (error)
            std::rethrow_exception(error);
    });
}

std::string TForm1::PickedPortDetails() const {
    const auto* list = dynamic_cast<const TComComboBox*>(FindComponent("ComComboBox2"));
    if (list == nullptr || list->Text() != ComPort->Port())
        return std::string();
    const int index = list->ItemIndex();
    const std::vector<std::string>& details = list->ItemDetails();
    return index >= 0 && static_cast<std::size_t>(index) < details.size() ? details[index]
                                                                          : std::string();
}

int RunWizard(std::string_view description) {
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(description);
    } catch (...) {
        HandleException();
        return 1;
    }
    form->ShowWindow();
    WidgetSet().Run(*form);
    form.reset();
    return 0;
}

int StartWizard() {
    SetApplicationTitle(kApplicationTitle);
    std::string description;
    try {
        ComPortModuleStartup();
        description = StoredForm1Description();
    } catch (...) {
        HandleException();
        return 1;
    }
    return RunWizard(description);
}

} // namespace tolvar
