#include "framework/widgets/Application.h"

#include "framework/Exception.h"
#include "framework/FrameworkTexts.h"
#include "framework/widgets/MessageBoxes.h"

namespace tolvar {

namespace {
std::string& TitleStorage() {
    static std::string title;
    return title;
}
} // namespace

const std::string& ApplicationTitle() {
    return TitleStorage();
}

void SetApplicationTitle(std::string title) {
    TitleStorage() = std::move(title);
}

std::string ExceptionDisplayText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

void ShowException(const std::exception_ptr& error) {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return;
    } catch (const Exception& e) {
        message = e.Message();
    } catch (...) {
        // Not one of ours: shown with an empty message.
    }
    TMessageRequest request;
    request.caption = ApplicationTitle();
    request.text = ExceptionDisplayText(message);
    request.icon = TMsgIcon::Error;
    request.buttons = {{FrameworkText(kSMsgDlgOK), mrOk}};
    request.defaultResult = mrOk;
    request.escapeResult = mrOk;
    MessageBoxes().Show(request);
}

void HandleException() {
    try {
        ShowException(std::current_exception());
    } catch (...) {
        // A failing display must not take the message loop down with it.
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException();
        return false;
    }
}

} // namespace tolvar
