// GoogleTest's customisation header, found before its own (empty) one in the
// Windows builds. Those use the win32 thread model of gcc 12, whose libstdc++
// has no std::mutex or std::condition_variable, the two things GoogleTest's
// Notification is made of. Notification only holds back the threads of
// GoogleTest's ThreadWithParam, which no suite here uses, so a flag that the
// waiting thread polls is enough.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal

#endif  // GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
