#include "framework/MessageBoxes.h"

#include "framework/WidgetSet.h"

namespace tolvar {

namespace {

TMessageBoxes* installed = nullptr;

// The widget set's modal box.
class TWidgetSetBoxes : public TMessageBoxes {
public:
    int Show(const TMessageRequest& request) override {
        return WidgetSet().ShowMessageBox(request);
    }
};

} // namespace

std::string IconAccessibleName(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Error:
        return "Błąd";
    case TMsgIcon::Question:
        return "Pytanie";
    case TMsgIcon::Warning:
        return "Ostrzeżenie";
    case TMsgIcon::Information:
        return "Informacja";
    case TMsgIcon::None:
        break;
    }
    return {};
}

TMessageBoxes& MessageBoxes() {
    static TWidgetSetBoxes boxes;
    return installed != nullptr ? *installed : boxes;
}

void SetMessageBoxes(TMessageBoxes* boxes) {
    installed = boxes;
}

TScriptedMessageBoxes::TScriptedMessageBoxes() : previous_(installed) {
    SetMessageBoxes(this);
}

TScriptedMessageBoxes::~TScriptedMessageBoxes() {
    SetMessageBoxes(previous_);
}

int TScriptedMessageBoxes::Show(const TMessageRequest& request) {
    shown.push_back(request);
    if (answers.empty())
        return request.escapeResult;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace tolvar
