#include "link/UsbConnectionMonitor.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

// Ticks (1-based) on which a search is due, over `ticks` ticks, with
// broadcasts just before the listed ticks.
std::vector<int> searches(int ticks, const std::vector<int>& broadcastsBefore) {
    UsbConnectionMonitor m;
    std::vector<int> due;
    for (int t = 1; t <= ticks; ++t) {
        if (std::find(broadcastsBefore.begin(), broadcastsBefore.end(), t) !=
            broadcastsBefore.end())
            m.deviceChanged();
        if (m.tick())
            due.push_back(t);
    }
    return due;
}

TEST(UsbConnectionMonitor, FirstSearchOnTheEleventhTickThenOnlyAfterBroadcasts) {
    EXPECT_EQ(searches(100, {}), std::vector<int>{11});
}

TEST(UsbConnectionMonitor, BurstsOfBroadcastsDelayTheSearchUntilElevenQuietTicks) {
    // One broadcast per tick from 20 to 40: the search comes 11 ticks after the last.
    std::vector<int> burst;
    for (int t = 20; t <= 40; ++t)
        burst.push_back(t);
    EXPECT_EQ(searches(100, burst), (std::vector<int>{11, 50}));
    // A broadcast before the first search postpones it.
    EXPECT_EQ(searches(100, {5}), std::vector<int>{15});
}

} // namespace
} // namespace vorn
