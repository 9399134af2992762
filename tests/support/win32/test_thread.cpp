#include "tests/support/test_thread.h"

#include <windows.h>

struct TestThread::Impl {
    std::function<void()> body;
    HANDLE handle = nullptr;
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<Impl*>(self)->body();
        return 0;
    }
};

TestThread::TestThread(std::function<void()> body) : impl_(new Impl{std::move(body)}) {
    impl_->handle = CreateThread(nullptr, 0, &Impl::Run, impl_.get(), 0, nullptr);
}
TestThread::TestThread() = default;
TestThread::~TestThread() { Join(); }
TestThread::TestThread(TestThread&&) noexcept = default;
TestThread& TestThread::operator=(TestThread&& other) noexcept {
    Join();
    impl_ = std::move(other.impl_);
    return *this;
}

void TestThread::Join() {
    if (!impl_ || impl_->handle == nullptr) return;
    WaitForSingleObject(impl_->handle, INFINITE);
    CloseHandle(impl_->handle);
    impl_->handle = nullptr;
}

void TestThread::GiveWay() { SwitchToThread(); }
