#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

TEST(Mutex, SerialisesThreads) {
    platform::Mutex* mutex = platform::createMutex();
    ASSERT_NE(mutex, nullptr);
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                platform::lockMutex(mutex);
                counter = counter + 1;
                platform::unlockMutex(mutex);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 80000);
    platform::destroyMutex(mutex);
    platform::destroyMutex(nullptr);
}

}  // namespace
