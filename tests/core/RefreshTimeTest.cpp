// The cache freshness rule: hours below 1000, milliseconds from 1000 on.
#include "core/RefreshTime.h"

#include <gtest/gtest.h>

namespace {

TEST(RefreshTime, HoursBelowAThousandMillisecondsFromThere)
{
    const DWORD rows[][2] = {
        {0, 0}, {1, 3600000}, {24, 86400000}, {999, 3596400000u}, {1000, 1000}, {0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(row[1], refreshTimeToMs(row[0]));
    }
}

TEST(RefreshTime, FreshFromTheStampAndWithinTheRefreshTime)
{
    struct Row {
        DWORD stored, refresh, now;
        bool fresh;
    };
    const Row rows[] = {
        {1000, 3600000, 1001, true},
        {1000, 3600000, 3600999, true},
        {1000, 3600000, 3601000, false}, // exactly the refresh time old
        {1000, 3600000, 1000, true},     // stored in this very tick
        {1000, 0, 1000, false},
        {1000, 0, 1001, false},
        {0xFFFFFF00, 3600000, 0x10, false}, // the counter wrapped after the stamp
        {5000, 3600000, 4000, false},       // a stamp in the future
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.stored << " " << row.refresh << " " << row.now);
        EXPECT_EQ(row.fresh, isFresh(row.stored, row.refresh, row.now));
    }
}

} // namespace
