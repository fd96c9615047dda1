#pragma once
// Assertions that need no Qt: the Windows runner's cases and the adapter
// contract (run by Qt Test on Linux and by that runner on Windows) use them.
// A failed check throws check::Failure, which the runner reports.
#include "core/Error.h"

#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace brivel::check {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
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
inline std::string& Context()
{
    static std::string context;
    return context;
}
struct Row {
    explicit Row(std::string name) { Context() = std::move(name); }
    // Kept while a failure unwinds, so the runner can show it.
    ~Row()
    {
        if (std::uncaught_exceptions() == 0)
            Context().clear();
    }
};

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace brivel::check

#define CHECK(cond)                                                               \
    do {                                                                          \
        if (!(cond))                                                              \
            ::brivel::check::Fail(__FILE__, __LINE__, "CHECK(" #cond ")");        \
    } while (0)

#define CHECK_EQ(actual, expected)                                                \
    do {                                                                          \
        const auto& wt_a = (actual);                                              \
        const auto& wt_e = (expected);                                            \
        if (!(wt_a == wt_e))                                                      \
            ::brivel::check::Fail(__FILE__, __LINE__,                             \
                                  #actual "\n      got      " + ::brivel::check::Show(wt_a) + \
                                      "\n      expected " + ::brivel::check::Show(wt_e));     \
    } while (0)

// Runs `expr`, which must throw brivel::Error; evaluates to its message.
#define ERROR_MESSAGE(expr)                                                       \
    ([&]() -> std::string {                                                       \
        try {                                                                     \
            expr;                                                                 \
        } catch (const brivel::Error& e) {                                        \
            return e.what();                                                      \
        }                                                                         \
        ::brivel::check::Fail(__FILE__, __LINE__, #expr " did not throw");       \
    }())
