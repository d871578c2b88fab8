#include "update/Payload.h"

#include "update/HexImage.h"
#include "update/Platform.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tolvar {
namespace {

PayloadView View(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string LineText(const LineCursor& cursor) {
    return {reinterpret_cast<const char*>(cursor.Line()), cursor.LineSize()};
}

// Every step of a cursor until it stops yielding lines, and how it stopped.
struct Walk {
    std::vector<std::string> lines;
    LineCursor::Step stop;
};

Walk WalkAll(const std::string& text) {
    LineCursor cursor(View(text));
    Walk walk;
    for (;;) {
        walk.stop = cursor.Next();
        if (walk.stop != LineCursor::Step::Line)
            return walk;
        walk.lines.push_back(LineText(cursor));
    }
}

TEST(ShippedPayload, HasTheReleaseLinesInOrder) {
    const auto payload = LoadPayload();
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->size, 59394u);
    EXPECT_EQ(CountLines(*payload), 836);

    const Walk walk = WalkAll(std::string(PayloadText(*payload)));
    EXPECT_EQ(walk.stop, LineCursor::Step::End);
    ASSERT_EQ(walk.lines.size(), 836u);
    EXPECT_EQ(walk.lines.front(), ":03000B00020046AA\r");
    EXPECT_EQ(walk.lines.back(), ":00000001FF\r");
    EXPECT_TRUE(PayloadIsWhole(*payload));
}

TEST(LineCursor, DropsEveryLfAndCountsStrayOnesAsLines) {
    const std::string text = ":00000001FF\r\n:01\n0000AA55\r\n";
    const Walk walk = WalkAll(text);
    EXPECT_EQ(walk.stop, LineCursor::Step::End);
    ASSERT_EQ(walk.lines.size(), 2u);
    EXPECT_EQ(walk.lines[1], ":010000AA55\r");
    // The stray LF is one more line for the progress bar.
    EXPECT_EQ(CountLines(View(text)), 3);
}

TEST(LineCursor, ResetStartsAgainFromTheFirstByte) {
    const std::string text = ":A\r\n:B\r\n";
    LineCursor cursor(View(text));
    ASSERT_EQ(cursor.Next(), LineCursor::Step::Line);
    ASSERT_EQ(cursor.Next(), LineCursor::Step::Line);
    EXPECT_EQ(cursor.Next(), LineCursor::Step::End);
    EXPECT_EQ(cursor.Next(), LineCursor::Step::End);
    cursor.Reset();
    ASSERT_EQ(cursor.Next(), LineCursor::Step::Line);
    EXPECT_EQ(LineText(cursor), ":A\r");
}

TEST(LineCursor, EmptyPayloadAndLoneLfsEndCleanly) {
    EXPECT_EQ(WalkAll("").stop, LineCursor::Step::End);
    EXPECT_EQ(WalkAll("\n\n").stop, LineCursor::Step::End);
    EXPECT_EQ(CountLines(View("")), 0);
    EXPECT_EQ(CountLines(PayloadView{}), 0);
}

TEST(LineCursor, FinalLineWithoutCrIsReportedNotDropped) {
    const Walk walk = WalkAll(":A\r\n:00000001FF");
    EXPECT_EQ(walk.lines.size(), 1u);
    EXPECT_EQ(walk.stop, LineCursor::Step::Unterminated);
    EXPECT_FALSE(PayloadIsWhole(View(":A\r\n:00000001FF")));
    EXPECT_FALSE(PayloadIsWhole(View(":A\r\n:00000001FF\n")));
    EXPECT_TRUE(PayloadIsWhole(View(":A\r\n:00000001FF\r")));
}

TEST(LineCursor, LineLimitIsTheBufferIncludingCr) {
    // Long lines are built with append: GCC 12 at -O3 takes ":" + std::string(n, c) for an
    // overlapping copy (-Wrestrict).
    const std::string fits = std::string(":").append(254, 'A') + "\r\n";
    const Walk ok = WalkAll(fits);
    ASSERT_EQ(ok.lines.size(), 1u);
    EXPECT_EQ(ok.lines[0].size(), 256u);
    EXPECT_EQ(ok.stop, LineCursor::Step::End);

    const std::string tooLong = std::string(":").append(255, 'A') + "\r\n:00000001FF\r\n";
    const Walk bad = WalkAll(tooLong);
    EXPECT_TRUE(bad.lines.empty());
    EXPECT_EQ(bad.stop, LineCursor::Step::Overlong);
    EXPECT_FALSE(PayloadIsWhole(View(tooLong)));

    // LF bytes do not occupy the buffer.
    EXPECT_TRUE(PayloadIsWhole(View(std::string(":").append(254, '\n').append(254, 'A') + "\r")));
}

TEST(LineCursor, BrokenPayloadStaysBrokenUntilReset) {
    const std::string text = ":A\r\n" + std::string(300, 'A');
    LineCursor cursor(View(text));
    ASSERT_EQ(cursor.Next(), LineCursor::Step::Line);
    EXPECT_EQ(cursor.Next(), LineCursor::Step::Overlong);
    EXPECT_EQ(cursor.Next(), LineCursor::Step::Overlong);
    EXPECT_EQ(cursor.LineSize(), 0u);
    cursor.Reset();
    ASSERT_EQ(cursor.Next(), LineCursor::Step::Line);
    EXPECT_EQ(LineText(cursor), ":A\r");

    const std::string unterminated = ":A\r\n:B";
    LineCursor open(View(unterminated));
    ASSERT_EQ(open.Next(), LineCursor::Step::Line);
    EXPECT_EQ(open.Next(), LineCursor::Step::Unterminated);
    EXPECT_EQ(open.Next(), LineCursor::Step::Unterminated);
    EXPECT_EQ(open.LineSize(), 0u);
}

// The build-time check: each fault is named with its line.
struct BadImage {
    const char* name;
    std::string image;
    std::size_t line;
    const char* message;
};

class HexImageCheck : public testing::TestWithParam<BadImage> {};

TEST_P(HexImageCheck, NamesTheOffendingLine) {
    const BadImage& bad = GetParam();
    const auto error = CheckHexImage(bad.image);
    ASSERT_TRUE(error) << bad.name;
    EXPECT_EQ(error->line, bad.line) << bad.name;
    EXPECT_EQ(error->message, bad.message) << bad.name;
}

const std::string kData = ":03000B00020046AA\r\n";
const std::string kEnd = ":00000001FF\r\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, HexImageCheck,
    testing::Values(
        BadImage{"empty", "", 0, "the image is empty"},
        BadImage{"no eof", kData + kData, 2,
                 "the image does not end with the end-of-file record :00000001FF"},
        BadImage{"no final crlf", kData + ":00000001FF", 2, "last line does not end in CR LF"},
        BadImage{"final cr only", kData + ":00000001FF\r", 2, "last line does not end in CR LF"},
        BadImage{"lf only", kData + ":03000B00020046AA\n" + kEnd, 2, "line ends in LF without CR"},
        BadImage{"no colon", "03000B00020046AA\r\n" + kEnd, 1, "line does not start with ':'"},
        BadImage{"lower case", ":03000b00020046AA\r\n" + kEnd, 1,
                 "'b' at column 7 is not an upper-case hex digit"},
        BadImage{"blank", kData + " \r\n" + kEnd, 2, "line does not start with ':'"},
        BadImage{"control byte", ":03000B00020046A\x01\r\n" + kEnd, 1,
                 "byte 0x01 at column 17 is not an upper-case hex digit"},
        BadImage{"first printable", ":03000B00020046A!\r\n" + kEnd, 1,
                 "'!' at column 17 is not an upper-case hex digit"},
        BadImage{"delete byte", ":03000B00020046A\x7F\r\n" + kEnd, 1,
                 "byte 0x7F at column 17 is not an upper-case hex digit"},
        BadImage{"letter after F", ":03000B00020046AG\r\n" + kEnd, 1,
                 "'G' at column 17 is not an upper-case hex digit"},
        BadImage{"empty line", kData + "\n" + kEnd, 2, "line ends in LF without CR"},
        BadImage{"only cr lf", kData + "\r\n" + kEnd, 2, "line does not start with ':'"},
        BadImage{"too short", ":00000001\r\n" + kEnd, 1,
                 "record has 8 hex digits; a record needs an even number, at least 10"},
        BadImage{"stray cr", ":03000B00\r020046AA\r\n" + kEnd, 1, "stray CR at column 10"},
        BadImage{"checksum", ":03000B00020046AB\r\n" + kEnd, 1,
                 "checksum is 0xAB, the record needs 0xAA"},
        BadImage{"count", ":04000B00020046AA\r\n" + kEnd, 1,
                 "byte count 0x04 says 4 data bytes but the record carries 3"},
        BadImage{"odd digits", ":03000B00020046A\r\n" + kEnd, 1,
                 "record has 15 hex digits; a record needs an even number, at least 10"},
        BadImage{"after eof", kEnd + kData + kEnd, 2, "record after the end-of-file record"},
        BadImage{"bad eof", kData + ":01000001AA54\r\n", 2,
                 "malformed end-of-file record; it must read :00000001FF"},
        BadImage{"over 256", std::string(":").append(255, '0') + "\r\n" + kEnd, 1,
                 "line is 257 bytes up to its CR; the limit is 256"}),
    [](const testing::TestParamInfo<BadImage>& param) {
        std::string name = param.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

TEST(HexImageCheck, AcceptsTheLongestLineThatFits) {
    // 122 data bytes: 10 + 244 digits, colon and CR make exactly 256 bytes.
    const std::string digits = "7A000000" + std::string(244, '0') + "86";
    const std::string line = ":" + digits + "\r\n";
    ASSERT_EQ(line.size(), 257u);
    EXPECT_FALSE(CheckHexImage(line + kEnd));
}

TEST(HexRecord, ParsesIntoMemory) {
    const auto record = ParseHexRecord("03000B00020046AA");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->type, 0);
    EXPECT_EQ(record->address, 0x000B);
    EXPECT_EQ(record->data, (std::vector<std::uint8_t>{0x02, 0x00, 0x46}));
    HexMemory memory;
    AddToMemory(*record, memory);
    AddToMemory(*ParseHexRecord("00000001FF"), memory);
    EXPECT_EQ(memory, (HexMemory{{0x0B, 0x02}, {0x0C, 0x00}, {0x0D, 0x46}}));

    // Both address bytes, and every digit from 0 to 9 and A to F.
    const auto wide = ParseHexRecord("021234009FF920");
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->address, 0x1234);
    EXPECT_EQ(wide->data, (std::vector<std::uint8_t>{0x9F, 0xF9}));
    const auto digits = ParseHexRecord("0800000001234567890ABCDEFB");
    ASSERT_TRUE(digits);
    EXPECT_EQ(digits->data,
              (std::vector<std::uint8_t>{0x01, 0x23, 0x45, 0x67, 0x89, 0x0A, 0xBC, 0xDE}));

    EXPECT_EQ(
        MemoryOfImage(":021234009FF920\r\n" + kData + kEnd),
        (HexMemory{{0x0B, 0x02}, {0x0C, 0x00}, {0x0D, 0x46}, {0x1234, 0x9F}, {0x1235, 0xF9}}));
}

} // namespace
} // namespace tolvar
