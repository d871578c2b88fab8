// The upload beside the window when the system refuses it a thread: the input block must not
// outlive the refusal, or the window could never be closed again.
#include "framework/Application.h"
#include "tests/support/FakeWidgetSet.h"

#include <cerrno>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <system_error>

namespace {
bool refuseThreads = false;
} // namespace

// Stands in for the C library's pthread_create while a test asks for a refusal.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) {
    if (refuseThreads)
        return EAGAIN;
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    return real(thread, attr, start, arg);
}

TEST(WorkerStart, AWorkerThatCannotStartLeavesTheWindowUnblocked) {
    tolvar::test::FakeWidgetSet set;
    bool ran = false;
    refuseThreads = true;
    EXPECT_THROW(tolvar::RunBesideTheWindow([&] { ran = true; }), std::system_error);
    refuseThreads = false;
    EXPECT_FALSE(ran);
    ASSERT_FALSE(set.inputBlocked.empty());
    EXPECT_FALSE(set.inputBlocked.back());

    // And the next run blocks and lifts as ever.
    tolvar::RunBesideTheWindow([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(set.inputBlocked.back());
}
