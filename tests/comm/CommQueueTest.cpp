#include "comm/CommQueue.h"

#include <gtest/gtest.h>
#include <thread>

using korva::CommQueue;

TEST(CommQueue, HoldsAtMost4095BytesAndWrapsAround) {
    CommQueue q;
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.freeRoom(), 4096u);
    for (int i = 0; i < 4095; ++i)
        q.put(static_cast<std::uint8_t>(i));
    EXPECT_EQ(q.count(), 4095u);
    q.put(0xAA); // a 4096th byte makes tail catch head: the ring reads as empty
    EXPECT_EQ(q.count(), 0u);
    q.clear();

    // Wrap-around keeps order and count.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 3000; ++i)
            q.put(static_cast<std::uint8_t>(i * 7 + round));
        ASSERT_EQ(q.count(), 3000u);
        for (int i = 0; i < 3000; ++i)
            ASSERT_EQ(q.get(), static_cast<std::uint8_t>(i * 7 + round));
        ASSERT_TRUE(q.empty());
    }
}

TEST(CommQueue, OneProducerOneConsumerSeeEveryByteInOrder) {
    CommQueue q;
    constexpr int kBytes = 200000;
    std::thread producer([&] {
        for (int i = 0; i < kBytes; ++i) {
            while (q.freeRoom() <= 1)
                std::this_thread::yield();
            q.put(static_cast<std::uint8_t>(i));
        }
    });
    for (int i = 0; i < kBytes; ++i) {
        while (q.empty())
            std::this_thread::yield();
        ASSERT_EQ(q.get(), static_cast<std::uint8_t>(i));
    }
    producer.join();
    EXPECT_TRUE(q.empty());
}
