#pragma once

#include <exception>
#include <string>

namespace tolvar {

// Base of the program's exceptions: a message text (UTF-8) and a help context.
class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const { return message_; }
    int HelpContext() const { return helpContext_; }

private:
    std::string message_;
    int helpContext_;
};

// The silent-abort kind: the exception display does not show it.
class EAbort : public Exception {
public:
    EAbort() : Exception(std::string()) {}
};

} // namespace tolvar
