// What the executable carries: the payload, the form description, the icon, the manifest and
// the version information, read back through the same calls Windows Explorer uses.

#include "framework/Platform.h"
#include "update/Payload.h"
#include "update/Platform.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <vector>
#include <windows.h>
#include <winver.h>

namespace tolvar {
namespace {

std::string SourceFile(const std::string& relative) {
    std::string path = std::string(TOLVAR_SOURCE_DIR) + "/" + relative;
    // A cross build names the host's folders; Wine shows the host's root as drive Z:.
    if (path.front() == '/')
        path = "Z:" + path;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Resources, PayloadIsRcData1000WithTheShippedBytes) {
    const auto payload = LoadPayload();
    ASSERT_TRUE(payload);
    const std::string shipped = SourceFile("resources/tolvar-1.6.0.hex");
    ASSERT_EQ(payload->size, 59394u);
    EXPECT_EQ(PayloadText(*payload), shipped);
    EXPECT_EQ(CountLines(*payload), 836);
}

TEST(Resources, FormDescriptionIsTheResourceTFORM1) {
    const auto form = LoadRcDataResource("TFORM1");
    ASSERT_TRUE(form);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(form->data), form->size),
              SourceFile("app/TForm1.xml"));
    EXPECT_FALSE(LoadRcDataResource("NO_SUCH_FORM"));
    EXPECT_FALSE(LoadRcDataResource(std::uint16_t{1001}));
}

TEST(Resources, IconGroupAndManifestArePresent) {
    HRSRC icon = FindResourceA(nullptr, "MAINICON", MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_NE(icon, nullptr);
    // One image: a 6-byte header and one 14-byte directory entry, 32 x 32 in 16 colours.
    ASSERT_EQ(SizeofResource(nullptr, icon), 20u);
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, icon)));
    EXPECT_EQ(dir[4], 1); // count
    EXPECT_EQ(dir[6], 32);
    EXPECT_EQ(dir[7], 32);
    EXPECT_EQ(dir[8], 16);
    HRSRC manifest = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                           SizeofResource(nullptr, manifest));
    // The window is scaled once, by the system's DPI. Per-monitor awareness would tell Windows
    // not to stretch it on a monitor of another DPI, where it would then show at the wrong size.
    EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(text.find(">system</dpiAwareness>"), std::string::npos);
    EXPECT_EQ(text.find("PerMonitor"), std::string::npos);
}

#ifdef TOLVAR_PROGRAM_EXE
// The program's own file, as built (or as shipped): the systems its manifest declares, so that
// Windows 8.1 and later run it without the compatibility behaviour of older systems.
TEST(Resources, ProgramManifestDeclaresWindows7To11) {
    std::string path = TOLVAR_PROGRAM_EXE;
    if (path.front() == '/')
        path = "Z:" + path;
    HMODULE exe = LoadLibraryExA(path.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr) << path;
    HRSRC manifest = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(exe, manifest))),
                           SizeofResource(exe, manifest));
    FreeLibrary(exe);

    const std::string open = "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">";
    const std::size_t begin = text.find(open);
    const std::size_t end = text.find("</compatibility>");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    std::set<std::string> ids;
    const std::string tag = "<supportedOS Id=\"";
    for (std::size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
        EXPECT_TRUE(at > begin && at < end) << "outside the compatibility element";
        const std::size_t from = at + tag.size();
        ids.insert(text.substr(from, text.find('"', from) - from));
    }
    EXPECT_EQ(ids, (std::set<std::string>{
                       "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
                       "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // Windows 8
                       "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // Windows 8.1
                       "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // Windows 10 and 11
                   }));
}
#endif

class VersionInfo : public ::testing::Test {
protected:
    void SetUp() override {
        char path[MAX_PATH];
        ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
        ASSERT_GT(size, 0u);
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block_.data()));
    }

    std::string Text(const std::string& entry) {
        void* value = nullptr;
        UINT length = 0;
        const std::string query = "\\StringFileInfo\\041504E2\\" + entry;
        if (!VerQueryValueA(block_.data(), query.c_str(), &value, &length) || value == nullptr)
            return "<missing>";
        const std::string text(static_cast<const char*>(value), length);
        return text.substr(0, text.find('\0'));
    }

    std::vector<char> block_;
};

TEST_F(VersionInfo, FixedPartIs1500) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block_.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010005u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010005u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
}

TEST_F(VersionInfo, StringTableIsPolishCodePage1250) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block_.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0415);
    EXPECT_EQ(translation[1], 1250);

    EXPECT_EQ(Text("CompanyName"), "ZEFRA");
    EXPECT_EQ(Text("FileDescription"), "Uaktualnienie oprogramowania TOLVAR do wersji 1.5.0.");
    EXPECT_EQ(Text("FileVersion"), "1.5.0.0");
    EXPECT_EQ(Text("ProductVersion"), "1.3.0.0");
    for (const char* empty : {"InternalName", "LegalCopyright", "LegalTrademarks",
                              "OriginalFilename", "ProductName", "Comments"})
        EXPECT_EQ(Text(empty), "") << empty;
}

} // namespace
} // namespace tolvar
