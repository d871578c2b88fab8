#include "update/EmbeddedPayload.h"
#include "update/Platform.h"

namespace tolvar {

// Here the image is compiled into the binary, so finding it cannot fail unless it is empty.
std::optional<PayloadView> LoadPayload() {
    if (embedded::kPayloadSize == 0)
        return std::nullopt;
    return PayloadView{embedded::kPayload, embedded::kPayloadSize};
}

} // namespace tolvar
