// The terminal's progress line: the time left from the line model and the rate so far, and a
// line that always fits the terminal.
#include <gtest/gtest.h>

#include <string>

#include "progress_bar.h"
#include "time_estimate.h"

namespace {

struct EstimateCase {
    const char* name;
    int position;
    double elapsed;
    std::string status;
};

TEST(ProgressLine, StatusShowsBlocksElapsedAndLeft) {
    // 64 blocks: the model's whole download is 3,724 + 64 x 1,070 bytes, 6.27 s at 11,520 B/s.
    const EstimateCase cases[] = {
        {"not answered yet", 0, -1.0, "0/64 blocks  waiting for the controller"},
        {"just answered: the model alone", 1, 0.0, "0/64 blocks  0:00 elapsed  0:06 left"},
        // Half the blocks in the model's own time: the model's estimate stands.
        {"at the line rate", 52, 3.1, "32/64 blocks  0:03 elapsed  0:03 left"},
        // Half the blocks in four times the model's time: the measured rate outweighs the model.
        {"at a quarter of the line rate", 52, 12.4, "32/64 blocks  0:12 elapsed  0:09 left"},
        {"the last block", 84, 6.3, "64/64 blocks  0:06 elapsed  0:00 left"},
    };
    for (const EstimateCase& c : cases) {
        ProgressFacts progress{0,  84,       c.position, c.position > 20 ? c.position - 20 : 0,
                               64, c.elapsed};
        EXPECT_EQ(ProgressStatus(progress), c.status) << c.name;
    }
}

TEST(ProgressLine, FitsTheTerminalAndNamesThePort) {
    const ProgressFacts half{0, 84, 52, 32, 64, 3.1};
    const std::string status = ProgressStatus(half);
    for (const int columns : {20, 40, 80, 200}) {
        const std::string line = FormatProgressLine("/dev/ttyUSB0", half, status, columns);
        EXPECT_LT(static_cast<int>(line.size()), columns) << line;
        EXPECT_EQ(line.rfind("/dev/ttyUSB0  [", 0), 0u) << line;
    }
    // 80 columns less one, the status and the decoration leave 33 cells for the bar.
    EXPECT_EQ(FormatProgressLine("", half, status, 80),
              "[####################-------------]  61%  " + status);
    EXPECT_EQ(FormatDuration(3725.4), "1:02:05");
}

}  // namespace
