#include "framework/Platform.h"
#include "framework/widgets/win32/Win32Peer.h"
#include "framework/win32/WideText.h"

#include <algorithm>
#include <cstring>

namespace tolvar::win32 {

TWin32State& State() {
    static TWin32State state;
    return state;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& utf16) {
    return Utf8FromWide(utf16);
}

int Dpi() {
    return State().dpi;
}

int Scale(int stored) {
    return MulDiv(stored, Dpi(), 96);
}

int Unscale(int pixels) {
    return MulDiv(pixels, 96, Dpi());
}

RECT ScaleRect(const TRect& rect) {
    return {Scale(rect.left), Scale(rect.top), Scale(rect.Right()), Scale(rect.Bottom())};
}

bool HighContrast() {
    auto& known = State().highContrast;
    if (!known) {
        HIGHCONTRASTW contrast{};
        contrast.cbSize = sizeof contrast;
        known = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    }
    return *known;
}

void ForgetSystemSettings() {
    State().highContrast.reset();
    if (State().themedBackground != nullptr)
        DeleteObject(State().themedBackground);
    State().themedBackground = nullptr;
}

COLORREF ResolveColor(TColor color) {
    if (IsSystemColor(color))
        return GetSysColor(static_cast<int>(color & 0xFF));
    return RGB(RedOf(color), GreenOf(color), BlueOf(color));
}

HBRUSH Brush(TColor color) {
    auto& brushes = State().brushes;
    auto found = brushes.find(color);
    if (found != brushes.end())
        return found->second;
    HBRUSH brush = IsSystemColor(color) ? GetSysColorBrush(static_cast<int>(color & 0xFF))
                                        : CreateSolidBrush(ResolveColor(color));
    brushes.emplace(color, brush);
    return brush;
}

HFONT Font(const TFont& font) {
    const std::string key = font.name + '/' + std::to_string(font.height) + '/' +
                            std::to_string(font.bold) + std::to_string(font.italic) +
                            std::to_string(font.underline) + std::to_string(font.strikeOut);
    auto& fonts = State().fonts;
    auto found = fonts.find(key);
    if (found != fonts.end())
        return found->second;
    // The form's own face keeps the default character set; the pages' Arial is asked for with
    // the Central European one, so Polish letters come from a face that has them.
    const DWORD charset = font.name == "MS Sans Serif" ? DEFAULT_CHARSET : EASTEUROPE_CHARSET;
    const std::wstring face = Wide(font.name);
    HFONT handle = CreateFontW(Scale(font.height), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
                               font.italic, font.underline, font.strikeOut, charset,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    fonts.emplace(key, handle);
    return handle;
}

namespace {

constexpr std::uint32_t kMagenta = 0x00FF00FF; // as 0x00RRGGBB in a 32-bit DIB row

// A picture resource is one bitmap file, or several of one width stacked top to bottom: bands
// of at most 256 colours each, run-length encoded, which the system decodes itself.
struct TBand {
    const BITMAPINFO* info;
    const std::uint8_t* bits;
    int height;
};

// The bands of a picture resource and its size, from the headers alone; false when the resource
// is missing or not such a picture.
bool ReadBands(const std::string& name, std::vector<TBand>& bands, int& width, int& height) {
    const auto bytes = LoadRcDataResource(name.c_str());
    if (!bytes)
        return false;
    width = 0;
    height = 0;
    for (std::size_t at = 0; at < bytes->size;) {
        const std::size_t left = bytes->size - at;
        if (left < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
            return false;
        BITMAPFILEHEADER file;
        std::memcpy(&file, bytes->data + at, sizeof file);
        if (file.bfType != 0x4D42 || file.bfOffBits >= left || file.bfSize > left ||
            file.bfSize <= file.bfOffBits)
            return false;
        const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes->data + at + sizeof file);
        const int band_height = std::abs(info->bmiHeader.biHeight);
        if (info->bmiHeader.biWidth <= 0 || band_height <= 0 ||
            (width != 0 && info->bmiHeader.biWidth != width))
            return false;
        width = info->bmiHeader.biWidth;
        height += band_height;
        bands.push_back({info, bytes->data + at + file.bfOffBits, band_height});
        at += file.bfSize;
    }
    return !bands.empty();
}

std::unique_ptr<TPicture> Decode(const std::string& name) {
    std::vector<TBand> bands;
    int width = 0;
    int height = 0;
    if (!ReadBands(name, bands, width, height))
        return nullptr;
    auto picture = std::make_unique<TPicture>();
    picture->width = width;
    picture->height = height;
    picture->opaque.resize(static_cast<std::size_t>(width) * height);
    // Whatever the file's format, the system converts it to 32-bit top-down rows.
    HDC screen = GetDC(nullptr);
    int row = 0;
    for (const TBand& band : bands) {
        BITMAPINFO want{};
        want.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        want.bmiHeader.biWidth = width;
        want.bmiHeader.biHeight = -band.height;
        want.bmiHeader.biPlanes = 1;
        want.bmiHeader.biBitCount = 32;
        want.bmiHeader.biCompression = BI_RGB;
        HBITMAP bitmap = CreateDIBitmap(screen, &band.info->bmiHeader, CBM_INIT, band.bits,
                                        band.info, DIB_RGB_COLORS);
        const int rows =
            bitmap ? GetDIBits(screen, bitmap, 0, static_cast<UINT>(band.height),
                               picture->opaque.data() + static_cast<std::size_t>(row) * width,
                               &want, DIB_RGB_COLORS)
                   : 0;
        if (bitmap)
            DeleteObject(bitmap);
        if (rows != band.height) {
            ReleaseDC(nullptr, screen);
            return nullptr;
        }
        row += band.height;
    }
    ReleaseDC(nullptr, screen);
    picture->keyed.resize(picture->opaque.size());
    for (std::size_t i = 0; i < picture->opaque.size(); ++i) {
        const std::uint32_t rgb = picture->opaque[i] & 0x00FFFFFF;
        picture->opaque[i] = rgb | 0xFF000000;
        picture->keyed[i] = rgb == kMagenta ? 0 : (rgb | 0xFF000000);
    }
    return picture;
}

// Area average in premultiplied alpha: smooth when shrinking, and the transparent key never
// bleeds into the edge pixels.
std::vector<std::uint32_t> Resample(const std::vector<std::uint32_t>& source, int sw, int sh,
                                    int tw, int th) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(tw) * th);
    for (int ty = 0; ty < th; ++ty) {
        const int y0 = static_cast<int>(static_cast<long long>(ty) * sh / th);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(ty + 1) * sh / th));
        for (int tx = 0; tx < tw; ++tx) {
            const int x0 = static_cast<int>(static_cast<long long>(tx) * sw / tw);
            const int x1 =
                std::max(x0 + 1, static_cast<int>(static_cast<long long>(tx + 1) * sw / tw));
            unsigned sum[4] = {0, 0, 0, 0};
            unsigned count = 0;
            for (int y = y0; y < y1 && y < sh; ++y)
                for (int x = x0; x < x1 && x < sw; ++x) {
                    const std::uint32_t p = source[static_cast<std::size_t>(y) * sw + x];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += (p >> (8 * c)) & 0xFF;
                    ++count;
                }
            std::uint32_t p = 0;
            for (int c = 0; c < 4; ++c)
                p |= (count ? (sum[c] + count / 2) / count : 0) << (8 * c);
            out[static_cast<std::size_t>(ty) * tw + tx] = p;
        }
    }
    return out;
}

} // namespace

std::optional<TSize> PictureFileSize(const std::string& name) {
    // A picture decoded already knows; else the headers tell, and the pixels wait for the
    // first paint.
    if (const auto found = State().pictures.find(name); found != State().pictures.end())
        return found->second
                   ? std::optional<TSize>(TSize{found->second->width, found->second->height})
                   : std::nullopt;
    std::vector<TBand> bands;
    int width = 0;
    int height = 0;
    if (!ReadBands(name, bands, width, height))
        return std::nullopt;
    return TSize{width, height};
}

const TPicture* Picture(const std::string& name) {
    auto& pictures = State().pictures;
    auto found = pictures.find(name);
    if (found == pictures.end())
        found = pictures.emplace(name, Decode(name)).first;
    return found->second.get();
}

HBITMAP CreateDib32(HDC dc, int width, int height, void*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

void DrawPicture(HDC dc, const TPicture& picture, bool transparent, const RECT& target) {
    const int tw = target.right - target.left;
    const int th = target.bottom - target.top;
    if (tw <= 0 || th <= 0)
        return;
    const auto pixels = Resample(transparent ? picture.keyed : picture.opaque, picture.width,
                                 picture.height, tw, th);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDib32(dc, tw, th, bits);
    if (bitmap == nullptr)
        return;
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof(std::uint32_t));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, target.left, target.top, tw, th, memory, 0, 0, tw, th, blend);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

} // namespace tolvar::win32
