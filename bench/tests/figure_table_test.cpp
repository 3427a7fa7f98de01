// The benchmark's table: units, separators, column alignment and the Markdown form.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "figure_table.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Display column of the first occurrence of `needle`, counting UTF-8 characters.
std::size_t ColumnOf(const std::string& line, const std::string& needle) {
    const std::size_t at = line.find(needle);
    std::size_t columns = 0;
    for (std::size_t i = 0; i < at && i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) {
            ++columns;
        }
    }
    return columns;
}

TEST(FigureTable, DurationsTakeAFittingUnit) {
    const std::pair<double, const char*> cases[] = {
        {24.101, "24.10 s"},  {1.0, "1.00 s"},      {0.412, "412 ms"},  {0.0015, "1.50 ms"},
        {17.3e-6, "17.3 µs"}, {2.04e-6, "2.04 µs"}, {850e-9, "850 ns"}, {0.0, "0.00 ns"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(bench::Duration(seconds), text) << seconds;
    }
}

TEST(FigureTable, CountsHaveThousandsSeparators) {
    const std::pair<long long, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {277644, "277,644"},
        {4386444, "4,386,444"},
        {-1234, "-1,234"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(bench::Count(value), text) << value;
    }
}

bench::CFigureTable SampleTable() {
    bench::CFigureTable table;
    table.Add({"paced 256 KiB", "24.13 s", "model 24.10 s", 1.0012, "≤ 1.01 x model",
               bench::AtMost(1.0012, 1.01)});
    table.Add(
        {"CPU per block", "41.0 µs", "", std::nullopt, "≤ 30 µs", bench::AtMost(41e-6, 30e-6)});
    table.Add({"CRC-8", "650 MB/s", "1.58 µs per block", std::nullopt, "", bench::Verdict::Info});
    return table;
}

TEST(FigureTable, TextColumnsLineUpDespiteMultiByteUnits) {
    const std::vector<std::string> lines = Lines(SampleTable().Text());
    ASSERT_EQ(lines.size(), 5u);  // header, rule, three rows
    const std::size_t measured = ColumnOf(lines[0], "measured");
    EXPECT_EQ(ColumnOf(lines[2], "24.13 s"), measured);
    EXPECT_EQ(ColumnOf(lines[3], "41.0 µs"), measured);
    EXPECT_EQ(ColumnOf(lines[4], "650 MB/s"), measured);
    const std::size_t target = ColumnOf(lines[0], "target");
    EXPECT_EQ(ColumnOf(lines[2], "≤ 1.01"), target);
    EXPECT_EQ(ColumnOf(lines[3], "≤ 30"), target);
    EXPECT_NE(lines[2].find("1.001"), std::string::npos);
    EXPECT_NE(lines[2].find("met"), std::string::npos);
    EXPECT_NE(lines[3].find("GAP"), std::string::npos);
}

TEST(FigureTable, MarkdownHasOneCellPerColumn) {
    const bench::CFigureTable table = SampleTable();
    const std::vector<std::string> lines = Lines(table.Markdown());
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 7) << line;
    }
    EXPECT_EQ(lines[1], "| --- | --- | --- | --- | --- | --- |");
    EXPECT_EQ(lines[4], "| CRC-8 | 650 MB/s | 1.58 µs per block |  |  |  |");
    EXPECT_EQ(table.Gaps(), 1);
}

}  // namespace
