// Build-time tool: checks the firmware image and writes it out as a C++ source, so a broken
// image stops the build with the offending line named instead of misbehaving at run time.
//
//   tolvar-embed-payload <image.hex> <output.cpp>

#include "update/HexImage.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

bool ReadFile(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Generate(const std::string& image, const std::string& name) {
    std::ostringstream out;
    out << "// Generated from " << name << " at build time; do not edit.\n"
        << "#include \"update/EmbeddedPayload.h\"\n\n"
        << "namespace tolvar::embedded {\n\n"
        << "extern const std::uint8_t kPayload[] = {";
    for (std::size_t i = 0; i < image.size(); ++i) {
        out << (i % 16 == 0 ? "\n   " : "") << ' '
            << static_cast<unsigned>(static_cast<unsigned char>(image[i])) << ',';
    }
    out << "\n};\nextern const std::size_t kPayloadSize = " << image.size() << ";\n\n"
        << "} // namespace tolvar::embedded\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <image.hex> <output.cpp>\n", argv[0]);
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    std::string image;
    if (!ReadFile(input, image)) {
        std::fprintf(stderr, "%s: error: cannot read the firmware image\n", input.c_str());
        return 1;
    }
    if (const auto error = tolvar::CheckHexImage(image)) {
        std::fprintf(stderr, "%s\n", tolvar::FormatHexImageError(input, *error).c_str());
        return 1;
    }
    const std::string source = Generate(image, BaseName(input));
    // Write beside the target and rename, so an interrupted build never leaves half a file.
    const std::string temporary = output + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << source;
        if (!out) {
            std::fprintf(stderr, "%s: error: cannot write\n", temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "%s: error: cannot rename to %s\n", temporary.c_str(), output.c_str());
        return 1;
    }
    return 0;
}
