#pragma once

#include "serial/EComPort.h"

#include <gtest/gtest.h>
#include <utility>

namespace tolvar::test {

// The port exception that `f` raises; a test failure when it raises none.
template <typename F> EComPort Raised(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const EComPort& e) {
        return e;
    }
    ADD_FAILURE() << "no EComPort raised";
    return EComPort(CError_InvalidAsync);
}

} // namespace tolvar::test
