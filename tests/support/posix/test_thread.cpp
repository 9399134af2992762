#include "tests/support/test_thread.h"

#include <thread>

struct TestThread::Impl {
    std::thread thread;
};

TestThread::TestThread(std::function<void()> body) : impl_(new Impl{std::thread(std::move(body))}) {}
TestThread::TestThread() = default;
TestThread::~TestThread() { Join(); }
TestThread::TestThread(TestThread&&) noexcept = default;
TestThread& TestThread::operator=(TestThread&& other) noexcept {
    Join();
    impl_ = std::move(other.impl_);
    return *this;
}

void TestThread::Join() {
    if (impl_ && impl_->thread.joinable()) impl_->thread.join();
}

void TestThread::GiveWay() { std::this_thread::yield(); }
