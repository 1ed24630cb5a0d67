// The read-ahead of the preparing jobs: every block once and in order, whichever thread made it;
// a block held is not made over; and the thread ends when its owner stops part of the way.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ReadAhead.h"

using namespace brelka;

TEST(ReadAhead, BlocksComeInOrderAndAStopWithTheSlotsFullEndsTheThread) {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int64_t> inSlot(ReadAhead::kSlots, -1);
    std::vector<int64_t> made;
    const auto make = [&](int64_t k, size_t slot) {
        inSlot[slot] = k;
        {
            const std::lock_guard<std::mutex> hold(lock);
            made.push_back(k);
        }
        changed.notify_all();
    };
    {
        ReadAhead ahead(20, make);
        for (int64_t k = 0; k < 20; ++k) {
            ASSERT_EQ(inSlot[ahead.Take(k)], k);
            ahead.Release(k);
        }
    }
    std::vector<int64_t> order;
    for (int64_t k = 0; k < 20; ++k)
        order.push_back(k);
    EXPECT_EQ(made, order);

    // The first block held: the thread fills the other slots, waits for one, and ends on the
    // stop without making a block over the one held.
    made.clear();
    auto ahead = std::make_unique<ReadAhead>(20, make);
    const size_t held = ahead->Take(0);
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return made.size() >= static_cast<size_t>(ReadAhead::kSlots); });
    }
    ahead.reset();
    EXPECT_EQ(made, std::vector<int64_t>(order.begin(), order.begin() + ReadAhead::kSlots));
    EXPECT_EQ(inSlot[held], 0);
}
