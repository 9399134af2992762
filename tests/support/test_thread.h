// A thread for tests on every build: std::thread on Linux, the system's own
// threads on Windows, whose builds use a thread model without std::thread so
// that the programs load on Windows XP.
#pragma once

#include <functional>
#include <memory>

class TestThread {
public:
    TestThread();
    explicit TestThread(std::function<void()> body);
    ~TestThread();  // joins
    TestThread(TestThread&&) noexcept;
    TestThread& operator=(TestThread&&) noexcept;

    void Join();
    // Lets another thread run while this one waits for it.
    static void GiveWay();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
