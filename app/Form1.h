#pragma once

#include "framework/Controls.h"
#include "update/FirmwareUpload.h"

#include <string>
#include <string_view>

namespace tolvar {

class TButton;
class TCheckBox;
class TComPort;
class TLMDAssist;
class TProgressBar;

// The application title, shown as the caption of the exception display.
// The version comes from the build.
inline constexpr const char* kApplicationTitle = "TOLVAR ver. " TOLVAR_PROGRAM_VERSION " UPDATE";
// What the system shows where it asks to end the session during an update.
inline constexpr const char* kSessionHoldReason = "Trwa aktualizacja oprogramowania sterownika.";

// The program's one window, built from its stored description.
class TForm1 : public TCustomForm {
public:
    TForm1();
    // Builds the form from another description (tests).
    explicit TForm1(std::string_view description);

    // Fields bound by name once the description has been read.
    TLMDAssist* LMDAssist1 = nullptr;
    TComPort* ComPort = nullptr;
    TCheckBox* Check_TAK = nullptr;
    TButton* btn_PROGRAM = nullptr;
    TLabel* lbl_PROGRAM = nullptr;
    TProgressBar* progress_PROGRAM = nullptr;
    TLabel* lbl_FINISH = nullptr;
    TLabel* lbl_FINISH_INFO = nullptr;

    // Where the upload takes the firmware from (tests put another source here).
    PayloadSource payloadSource = LoadPayload;

    void LMDAssist1CancelClick(TComponent* sender);
    void LMDAssist1Completed(TComponent* sender, bool& cancel);
    void Check_TAKClick(TComponent* sender);
    // One firmware upload; the window keeps painting meanwhile but takes no input.
    void btn_PROGRAMClick(TComponent* sender);

    void Loaded() override;

private:
    // What the port page shows beside the picked port; empty when it shows nothing.
    std::string PickedPortDetails() const;
    // Names, headings and descriptions that a screen reader needs beyond each kind's own.
    void DescribeForScreenReaders();
};

// Start-up after the application object and its title: creates the main form from the
// description and runs the message loop until the form closes. A start-up failure is shown
// and gives exit status 1.
int RunWizard(std::string_view description);

// The program after its entry point has installed the widget set: the application title, the
// port module, the stored description and the wizard. Returns the exit status.
int StartWizard();

} // namespace tolvar
