#pragma once

#include <string>

namespace tolvar {

// The window framework's own texts, in their untranslated form.
inline constexpr const char* kSReadError = "Error reading %s%s%s: %s";
inline constexpr const char* kSMsgDlgConfirm = "Confirm";
inline constexpr const char* kSMsgDlgYes = "&Yes";
inline constexpr const char* kSMsgDlgNo = "&No";
inline constexpr const char* kSMsgDlgOK = "OK";

// Looks a framework text up through the message catalogues; unchanged when none is present.
std::string FrameworkText(const char* msgid);

// "Error reading %s%s%s: %s" filled with the object, ".", the property and the message.
std::string ReadErrorText(const std::string& object, const std::string& property,
                          const std::string& message);

} // namespace tolvar
