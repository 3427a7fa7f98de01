// The benchmark's table: each figure with what it is measured against, the ratio and whether
// its target is met, printed as aligned text or as a Markdown table.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

enum class Verdict {
    Info,  // a figure without a target
    Met,
    Gap,  // measured, but the target is missed
};

struct FigureRow {
    std::string figure;
    std::string measured;
    std::string reference;  // the model or the figure it is compared with; may be empty
    std::optional<double> ratio;
    std::string target;  // may be empty
    Verdict verdict = Verdict::Info;
};

// Met when value <= limit.
Verdict AtMost(double value, double limit);

std::string Fixed(double value, int decimals);
// "24.10 s", "412 ms", "17.3 µs", "850 ns": three significant figures in a fitting unit.
std::string Duration(double seconds);
std::string Megabytes(double bytes);  // decimal megabytes, "18.4 MB"
std::string Count(long long value);   // with thousands separators, "277,644"

class CFigureTable {
public:
    void Add(FigureRow row) { m_rows.push_back(std::move(row)); }
    const std::vector<FigureRow>& Rows() const { return m_rows; }
    int Gaps() const;

    std::string Text() const;
    std::string Markdown() const;

private:
    std::vector<std::vector<std::string>> Cells() const;
    std::vector<FigureRow> m_rows;
};

}  // namespace bench
