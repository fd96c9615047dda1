#pragma once
// A small test runner for the Windows build, where Qt Test is not available.
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace wintest {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using TestFn = void (*)();
struct TestCase {
    const char* name;
    TestFn fn;
};
std::vector<TestCase>& Registry();

struct Register {
    Register(const char* name, TestFn fn) { Registry().push_back({name, fn}); }
};

inline std::string Show(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 32) {
            const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}
inline std::string Show(const char* s) { return Show(std::string(s)); }
inline std::string Show(bool b) { return b ? "true" : "false"; }
template <class T>
std::string Show(const T& v)
{
    std::ostringstream os;
    os << v;
    return os.str();
}
template <class T>
std::string Show(const std::vector<T>& v)
{
    std::string out = "{";
    for (size_t i = 0; i < v.size(); ++i)
        out += (i ? ", " : "") + Show(v[i]);
    return out + "}";
}

[[noreturn]] inline void Fail(const char* file, int line, const std::string& what)
{
    std::string f = file;
    const auto slash = f.find_last_of("/\\");
    throw Failure(f.substr(slash == std::string::npos ? 0 : slash + 1) + ":" + std::to_string(line) + ": " + what);
}

// The context of the current table row, shown with a failure.
std::string& Context();
struct Row {
    explicit Row(std::string name) { Context() = std::move(name); }
    // Kept while a failure unwinds, so the runner can show it.
    ~Row()
    {
        if (std::uncaught_exceptions() == 0)
            Context().clear();
    }
};

} // namespace wintest

#define WT_CAT2(a, b) a##b
#define WT_CAT(a, b) WT_CAT2(a, b)
#define TEST_CASE(name)                                                           \
    static void WT_CAT(wt_test_, __LINE__)();                                     \
    static const wintest::Register WT_CAT(wt_reg_, __LINE__)(name, &WT_CAT(wt_test_, __LINE__)); \
    static void WT_CAT(wt_test_, __LINE__)()

#define CHECK(cond)                                                               \
    do {                                                                          \
        if (!(cond))                                                              \
            wintest::Fail(__FILE__, __LINE__, "CHECK(" #cond ")");                \
    } while (0)

#define CHECK_EQ(actual, expected)                                                \
    do {                                                                          \
        const auto& wt_a = (actual);                                              \
        const auto& wt_e = (expected);                                            \
        if (!(wt_a == wt_e))                                                      \
            wintest::Fail(__FILE__, __LINE__,                                     \
                          #actual "\n      got      " + wintest::Show(wt_a) +     \
                              "\n      expected " + wintest::Show(wt_e));         \
    } while (0)

// Runs `expr`, which must throw brivel::Error; evaluates to its message.
#define ERROR_MESSAGE(expr)                                                       \
    ([&]() -> std::string {                                                       \
        try {                                                                     \
            expr;                                                                 \
        } catch (const brivel::Error& e) {                                        \
            return e.what();                                                      \
        }                                                                         \
        wintest::Fail(__FILE__, __LINE__, #expr " did not throw");               \
    }())
