#pragma once
// A small test runner for the Windows build, where Qt Test is not available.
#include "support/Check.h"

#include <functional>
#include <string>
#include <vector>

namespace wintest {

// The checks themselves are shared with the Linux tests.
using brivel::check::Context;
using brivel::check::Fail;
using brivel::check::Failure;
using brivel::check::Row;
using brivel::check::Show;

using TestFn = std::function<void()>;
struct TestCase {
    std::string name;
    TestFn fn;
};
std::vector<TestCase>& Registry();

struct Register {
    Register(const char* name, TestFn fn) { Registry().push_back({name, fn}); }
};

} // namespace wintest

#define WT_CAT2(a, b) a##b
#define WT_CAT(a, b) WT_CAT2(a, b)
#define TEST_CASE(name)                                                           \
    static void WT_CAT(wt_test_, __LINE__)();                                     \
    static const wintest::Register WT_CAT(wt_reg_, __LINE__)(name, &WT_CAT(wt_test_, __LINE__)); \
    static void WT_CAT(wt_test_, __LINE__)()
