#pragma once

#include "update/Upload.h"

#include <string>
#include <vector>

namespace tolvar::test {

// Keeps what the upload reported: every progress position, and the other reports in order.
class RecordingReporter : public UploadReporter {
public:
    int maximum = -1;
    std::vector<int> positions;
    std::vector<std::string> events; // everything but progress positions, in order
    std::string text;

    // The latest progress position, -1 before any.
    int Position() const { return positions.empty() ? -1 : positions.back(); }
    // Passes seen by the progress bar: each starts it at 0 from wherever it stood.
    int Passes() const {
        int passes = 0;
        for (std::size_t i = 0; i < positions.size(); ++i)
            passes += positions[i] == 0 && (i == 0 || positions[i - 1] != 0) ? 1 : 0;
        return passes;
    }

    void SetProgressMax(int value) override {
        maximum = value;
        events.push_back("max");
    }
    void SetProgressPosition(int value) override { positions.push_back(value); }
    void SetResultText(const std::string& value) override {
        text = value;
        events.push_back("text");
    }
    void ShowAdvice() override { events.push_back("advice"); }
    void AdvanceWizard() override { events.push_back("advance"); }
    void HideBackAndCancel() override { events.push_back("hide"); }
    void ShowMissingPayload() override { events.push_back("missing"); }
    void ShowAdviceText(const std::string& value) override { events.push_back("advice " + value); }
};

} // namespace tolvar::test
