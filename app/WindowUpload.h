#pragma once

#include "update/Upload.h"

namespace tolvar {

// Hands every report to the UI thread and waits until it has been carried out there, so the
// upload's order of reports and its timing stay as they are. An exception raised by a report
// on the UI thread is raised again in the calling (worker) thread.
class TUiThreadReporter final : public UploadReporter {
public:
    explicit TUiThreadReporter(UploadReporter& target) : target_(target) {}

    void SetProgressMax(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetResultText(const std::string& text) override;
    void ShowAdvice() override;
    void AdvanceWizard() override;
    void HideBackAndCancel() override;
    void ShowMissingPayload() override;

private:
    UploadReporter& target_;
};

} // namespace tolvar
