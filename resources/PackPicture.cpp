// Build-time tool: rewrites a 24-bit bitmap file as bands of run-length encoded 8-bit bitmaps
// (BI_RLE8), which GDI decodes itself, so the Windows executable carries the pictures at a
// fraction of their size with every pixel kept.
//
//   tolvar-pack-picture <in.bmp> <out.bmp>
//
// RLE8 holds at most 256 colours, and the pictures have more; so the rows are cut, from the top,
// into bands of at most 256 colours each, and the output is those bands' bitmap files one after
// the other, the top band first. A picture of at most 256 colours is one ordinary bitmap file.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb; // 0x00RRGGBB, top row first
};

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    return v;
}

void PutLe(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool Read24(const Bytes& file, TImage& image, std::string& error) {
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
        error = "not a bitmap file";
        return false;
    }
    const std::uint32_t offset = Le(file, 10, 4);
    const auto width = static_cast<std::int32_t>(Le(file, 18, 4));
    const auto height = static_cast<std::int32_t>(Le(file, 22, 4));
    if (Le(file, 28, 2) != 24 || Le(file, 30, 4) != 0 || width <= 0 || height == 0) {
        error = "only uncompressed 24-bit bitmaps are packed";
        return false;
    }
    image.width = width;
    image.height = height < 0 ? -height : height;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (offset + stride * static_cast<std::size_t>(image.height) > file.size()) {
        error = "the pixel data is cut short";
        return false;
    }
    image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        // Rows are stored bottom up unless the height is negative.
        const int stored = height > 0 ? image.height - 1 - y : y;
        const std::size_t row = offset + stride * static_cast<std::size_t>(stored);
        for (int x = 0; x < width; ++x) {
            const std::size_t p = row + 3 * static_cast<std::size_t>(x);
            image.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] =
                (std::uint32_t{file[p + 2]} << 16) | (std::uint32_t{file[p + 1]} << 8) | file[p];
        }
    }
    return true;
}

// One row of palette indices in RLE8: runs of two or more as (count, index); stretches without
// runs in absolute mode (0, n, n indices, padded to an even length) when n >= 3, since
// absolute mode counts below 3 are escapes.
void EncodeRow(const std::vector<std::uint8_t>& row, Bytes& out) {
    const std::size_t n = row.size();
    auto run_at = [&](std::size_t i) {
        std::size_t r = 1;
        while (i + r < n && r < 255 && row[i + r] == row[i])
            ++r;
        return r;
    };
    std::size_t i = 0;
    while (i < n) {
        const std::size_t run = run_at(i);
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        std::size_t end = i + 1;
        while (end < n && end - i < 255 && run_at(end) < 2)
            ++end;
        const std::size_t count = end - i;
        if (count < 3) {
            for (; i < end; ++i) {
                out.push_back(1);
                out.push_back(row[i]);
            }
            continue;
        }
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(count));
        out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(i),
                   row.begin() + static_cast<std::ptrdiff_t>(end));
        if (count % 2 != 0)
            out.push_back(0);
        i = end;
    }
}

// One band of rows [top, bottom) as a complete bitmap file.
Bytes EncodeBand(const TImage& image, int top, int bottom) {
    std::map<std::uint32_t, std::uint8_t> palette;
    const auto w = static_cast<std::size_t>(image.width);
    for (std::size_t p = static_cast<std::size_t>(top) * w;
         p < static_cast<std::size_t>(bottom) * w; ++p)
        palette.emplace(image.rgb[p], 0);
    std::uint8_t next = 0;
    for (auto& entry : palette)
        entry.second = next++;

    Bytes pixels;
    std::vector<std::uint8_t> row(w);
    for (int y = bottom - 1; y >= top; --y) { // bottom up
        for (std::size_t x = 0; x < w; ++x)
            row[x] = palette.at(image.rgb[static_cast<std::size_t>(y) * w + x]);
        EncodeRow(row, pixels);
        pixels.push_back(0); // end of line
        pixels.push_back(0);
    }
    pixels.push_back(0); // end of bitmap
    pixels.push_back(1);

    const auto colours = static_cast<std::uint32_t>(palette.size());
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    Bytes file;
    file.push_back('B');
    file.push_back('M');
    PutLe(file, offset + static_cast<std::uint32_t>(pixels.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    PutLe(file, 40, 4);
    PutLe(file, static_cast<std::uint32_t>(image.width), 4);
    PutLe(file, static_cast<std::uint32_t>(bottom - top), 4);
    PutLe(file, 1, 2); // planes
    PutLe(file, 8, 2); // bits per pixel
    PutLe(file, 1, 4); // BI_RLE8
    PutLe(file, static_cast<std::uint32_t>(pixels.size()), 4);
    PutLe(file, 2835, 4); // 72 dpi, as the source files
    PutLe(file, 2835, 4);
    PutLe(file, colours, 4);
    PutLe(file, colours, 4);
    for (const auto& entry : palette) {
        PutLe(file, entry.first & 0xFF, 1);
        PutLe(file, (entry.first >> 8) & 0xFF, 1);
        PutLe(file, entry.first >> 16, 1);
        PutLe(file, 0, 1);
    }
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolvar-pack-picture <in.bmp> <out.bmp>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    TImage image;
    std::string error;
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 1;
    }
    if (!Read24(file, image, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }

    Bytes out;
    const auto w = static_cast<std::size_t>(image.width);
    int top = 0;
    while (top < image.height) {
        std::map<std::uint32_t, bool> seen;
        int bottom = top;
        while (bottom < image.height) {
            std::map<std::uint32_t, bool> with = seen;
            for (std::size_t x = 0; x < w; ++x)
                with.emplace(image.rgb[static_cast<std::size_t>(bottom) * w + x], true);
            if (with.size() > 256)
                break;
            seen = std::move(with);
            ++bottom;
        }
        if (bottom == top) {
            std::fprintf(stderr, "%s: row %d alone has more than 256 colours\n", argv[1], top);
            return 1;
        }
        const Bytes band = EncodeBand(image, top, bottom);
        out.insert(out.end(), band.begin(), band.end());
        top = bottom;
    }

    std::ofstream result(argv[2], std::ios::binary | std::ios::trunc);
    result.write(reinterpret_cast<const char*>(out.data()),
                 static_cast<std::streamsize>(out.size()));
    if (!result.flush()) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    return 0;
}
