// Fuzz target for the reader of compiled message catalogues, which reads whatever file sits
// in the catalogue folder.

#include "framework/MoFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto messages = tolvar::ParseMoFile({reinterpret_cast<const char*>(data), size});
    if (messages) {
        for (const auto& [original, translation] : *messages) {
            // The header is never a message, and an empty translation means none.
            if (original.empty() || translation.empty())
                std::abort();
        }
    }
    return 0;
}
