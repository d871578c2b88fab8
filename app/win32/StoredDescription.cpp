#include "app/Platform.h"
#include "framework/Exception.h"
#include "framework/Platform.h"

namespace tolvar {

// The description is the executable's resource "TFORM1".
std::string StoredForm1Description() {
    const auto bytes = LoadRcDataResource("TFORM1");
    if (!bytes)
        throw Exception("The stored description of TForm1 is missing");
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->size);
}

} // namespace tolvar
