#pragma once

#include <deque>
#include <string>
#include <vector>

namespace tolvar {

// Results of modal boxes and of button presses on a form.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

enum class TMsgIcon { None, Error, Question, Warning, Information };

// What a screen reader calls the box's icon: "Pytanie" for a question; empty for no icon.
std::string IconAccessibleName(TMsgIcon icon);

struct TMessageButton {
    std::string caption; // "&" marks the mnemonic
    int result;
};

struct TMessageRequest {
    std::string caption;
    std::string text;
    TMsgIcon icon = TMsgIcon::None;
    std::vector<TMessageButton> buttons;
    int defaultResult = mrNone; // chosen by Enter
    int escapeResult = mrNone;  // chosen by Escape and by closing the box
    bool centreOnScreen = false;
};

// Every modal box of the program goes through here, so tests can answer them.
class TMessageBoxes {
public:
    virtual ~TMessageBoxes() = default;
    // Shows the box modally and returns the result of the button chosen.
    virtual int Show(const TMessageRequest& request) = 0;
};

// The boxes in use: the widget set's unless something else was installed.
TMessageBoxes& MessageBoxes();
// Installs boxes (nullptr returns to the widget set's); the caller keeps ownership.
void SetMessageBoxes(TMessageBoxes* boxes);

// Answers from a script and records what was asked; with the script empty it answers as
// Escape would. Installs itself for its lifetime.
class TScriptedMessageBoxes : public TMessageBoxes {
public:
    TScriptedMessageBoxes();
    ~TScriptedMessageBoxes() override;
    TScriptedMessageBoxes(const TScriptedMessageBoxes&) = delete;
    TScriptedMessageBoxes& operator=(const TScriptedMessageBoxes&) = delete;

    int Show(const TMessageRequest& request) override;

    std::deque<int> answers;
    std::vector<TMessageRequest> shown;

private:
    TMessageBoxes* previous_;
};

} // namespace tolvar
