#include "app/Platform.h"

#include <string_view>

namespace tolvar {

// Generated at build time from TForm1.xml: executables here carry no resources.
std::string_view EmbeddedForm1Description();

std::string StoredForm1Description() {
    return std::string(EmbeddedForm1Description());
}

} // namespace tolvar
