#include "framework/Platform.h"
#include "update/Platform.h"

namespace tolvar {

// The image is the RCDATA resource 1000 of this program. An empty one counts as missing, as it
// does where the image is compiled in: an upload of nothing must not report success.
std::optional<PayloadView> LoadPayload() {
    const auto bytes = LoadRcDataResource(std::uint16_t{1000});
    if (!bytes || bytes->size == 0)
        return std::nullopt;
    return PayloadView{bytes->data, bytes->size};
}

} // namespace tolvar
