// The build's progress line: share, throughput and time left from the figures given.
#include "builder/BuildProgress.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(BuildProgress, LineFromTheFigures) {
    struct Case {
        uint64_t done, total;
        double seconds;
        const char* line;
    } cases[] = {
        {0, 200000000, 0.5, "0% of 200.0 MB, - MB/s, - left"},       // nothing done yet
        {1000000, 200000000, 0.0, "0% of 200.0 MB, - MB/s, - left"}, // no time measured
        {50000000, 200000000, 2.0, "25% of 200.0 MB, 25.0 MB/s, 0:06 left"},
        {1, 3, 1.0, "33% of 0.0 MB, 0.0 MB/s, 0:02 left"}, // whole seconds, rounded up
        {10000000, 200000000, 10.0, "5% of 200.0 MB, 1.0 MB/s, 3:10 left"},
        {1000000, 4000000000, 1.0, "0% of 4000.0 MB, 1.0 MB/s, 1:06:39 left"}, // hours
        {200000000, 200000000, 4.0, "100% of 200.0 MB, 50.0 MB/s, 0:00 left"},
        {200000500, 200000000, 4.0, "100% of 200.0 MB, 50.0 MB/s, 0:00 left"}, // records' fields beyond
        {0, 0, 1.0, "100% of 0.0 MB, - MB/s, - left"},                         // nothing to compress
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgressLine(c.done, c.total, c.seconds), c.line) << c.done << " of " << c.total;
}
