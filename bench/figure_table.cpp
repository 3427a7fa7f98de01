// Formatting of the benchmark's figures and their table.
#include "figure_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

namespace {

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Met:
            return "met";
        case Verdict::Gap:
            return "GAP";
        case Verdict::Info:
            break;
    }
    return "";
}

const std::vector<std::string> kHeader = {"figure", "measured", "model / reference",
                                          "ratio",  "target",   "verdict"};

// Display width of UTF-8 text: continuation bytes take no column.
std::size_t Columns(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - std::min(width, Columns(text)), ' ');
}

std::string Significant(double value, const char* unit) {
    const int decimals = value >= 100 ? 0 : (value >= 10 ? 1 : 2);
    return Fixed(value, decimals) + " " + unit;
}

}  // namespace

Verdict AtMost(double value, double limit) {
    return value <= limit ? Verdict::Met : Verdict::Gap;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Duration(double seconds) {
    const double magnitude = std::fabs(seconds);
    if (magnitude >= 1.0) {
        return Fixed(seconds, 2) + " s";
    }
    if (magnitude >= 1e-3) {
        return Significant(seconds * 1e3, "ms");
    }
    if (magnitude >= 1e-6) {
        return Significant(seconds * 1e6, "µs");
    }
    return Significant(seconds * 1e9, "ns");
}

std::string Megabytes(double bytes) {
    return Fixed(bytes / 1e6, 1) + " MB";
}

std::string Count(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<std::size_t>(i), ",");
    }
    return value < 0 ? "-" + digits : digits;
}

int CFigureTable::Gaps() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const FigureRow& row) {
        return row.verdict == Verdict::Gap;
    }));
}

std::vector<std::vector<std::string>> CFigureTable::Cells() const {
    std::vector<std::vector<std::string>> cells;
    for (const FigureRow& row : m_rows) {
        cells.push_back({row.figure, row.measured, row.reference,
                         row.ratio ? Fixed(*row.ratio, 3) : std::string(), row.target,
                         VerdictText(row.verdict)});
    }
    return cells;
}

std::string CFigureTable::Text() const {
    const std::vector<std::vector<std::string>> cells = Cells();
    std::vector<std::size_t> widths;
    for (const std::string& title : kHeader) {
        widths.push_back(Columns(title));
    }
    for (const auto& row : cells) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], Columns(row[i]));
        }
    }
    auto line = [&widths](const std::vector<std::string>& row) {
        std::string text;
        for (std::size_t i = 0; i < row.size(); ++i) {
            text += i + 1 < row.size() ? Padded(row[i], widths[i]) + "  " : row[i];
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        return text + "\n";
    };
    std::string text = line(kHeader);
    std::vector<std::string> rule;
    for (const std::size_t width : widths) {
        rule.push_back(std::string(width, '-'));
    }
    text += line(rule);
    for (const auto& row : cells) {
        text += line(row);
    }
    return text;
}

std::string CFigureTable::Markdown() const {
    auto line = [](const std::vector<std::string>& row) {
        std::string text = "|";
        for (const std::string& cell : row) {
            text += " " + cell + " |";
        }
        return text + "\n";
    };
    std::string text = line(kHeader);
    text += line(std::vector<std::string>(kHeader.size(), "---"));
    for (const auto& row : Cells()) {
        text += line(row);
    }
    return text;
}

}  // namespace bench
