# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DFUNCTION=<name> -P EmbedText.cmake
# Writes a source file whose function returns the input file's bytes, for platforms whose
# executables carry no resources.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(LENGTH "${hex}" length)
math(EXPR length "${length} / 2")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.
#include <string_view>
namespace tolvar {
namespace {
const char kBytes[] = {${bytes} '\\0'};
} // namespace
std::string_view ${FUNCTION}() {
    return std::string_view(kBytes, ${length});
}
} // namespace tolvar
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
