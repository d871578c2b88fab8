#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string errors;
};

class EmbedTool : public testing::Test {
protected:
    fs::path dir =
        fs::temp_directory_path() / ("embed-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    Outcome Run(const std::string& image) {
        std::ofstream(dir / "fw.hex", std::ios::binary) << image;
        const std::string command = std::string(EMBED_TOOL) + " " + (dir / "fw.hex").string() +
                                    " " + (dir / "out.cpp").string() + " 2>" +
                                    (dir / "err.txt").string();
        const int status = std::system(command.c_str());
        std::ifstream err(dir / "err.txt");
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                std::string(std::istreambuf_iterator<char>(err), {})};
    }
};

TEST_F(EmbedTool, WritesTheBytesOfAGoodImage) {
    const Outcome outcome = Run(":03000B00020046AA\r\n:00000001FF\r\n");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    std::ifstream in(dir / "out.cpp");
    const std::string source{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(source.find("kPayloadSize = 32;"), std::string::npos);
    EXPECT_NE(source.find(" 58, 48, 51,"), std::string::npos) << "':03' as bytes";
}

TEST_F(EmbedTool, StopsTheBuildNamingTheLine) {
    const Outcome outcome = Run(":03000B00020046AA\r\n:03000B00020046AB\r\n:00000001FF\r\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.errors,
              (dir / "fw.hex").string() + ":2: error: checksum is 0xAB, the record needs 0xAA\n");
    EXPECT_FALSE(fs::exists(dir / "out.cpp")) << "no stale output to build on";

    EXPECT_EQ(Run(":03000B00020046AA\r\n:00000001FF").errors,
              (dir / "fw.hex").string() + ":2: error: last line does not end in CR LF\n");
    EXPECT_EQ(Run(":03000B00020046AA\r\n").errors,
              (dir / "fw.hex").string() +
                  ":1: error: the image does not end with the end-of-file record :00000001FF\n");
}

} // namespace
