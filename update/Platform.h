#pragma once

#include "update/Payload.h"

#include <optional>

// What a platform supplies to the firmware update; one implementation per platform
// (update/posix/, update/win32/).
namespace tolvar {

// The payload embedded in this executable, or nothing when it is absent (an empty one counts
// as absent: an upload of nothing must not report success).
std::optional<PayloadView> LoadPayload();

} // namespace tolvar
