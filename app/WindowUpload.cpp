#include "app/WindowUpload.h"

#include "framework/Application.h"

namespace tolvar {

void TUiThreadReporter::SetProgressMax(int maximum) {
    RunOnUiThread([&] { target_.SetProgressMax(maximum); });
}

void TUiThreadReporter::SetProgressPosition(int position) {
    RunOnUiThread([&] { target_.SetProgressPosition(position); });
}

void TUiThreadReporter::SetResultText(const std::string& text) {
    RunOnUiThread([&] { target_.SetResultText(text); });
}

void TUiThreadReporter::ShowAdvice() {
    RunOnUiThread([&] { target_.ShowAdvice(); });
}

void TUiThreadReporter::AdvanceWizard() {
    RunOnUiThread([&] { target_.AdvanceWizard(); });
}

void TUiThreadReporter::HideBackAndCancel() {
    RunOnUiThread([&] { target_.HideBackAndCancel(); });
}

void TUiThreadReporter::ShowMissingPayload() {
    RunOnUiThread([&] { target_.ShowMissingPayload(); });
}

} // namespace tolvar
