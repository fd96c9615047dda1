// Runs every registered case (or those whose name holds the first argument) and
// closes with "Windows: N passed, N failed"; the exit code is 1 when any failed.
#include "Check.h"

#include "core/Error.h"
#include "core/TextCodec.h"

#include <cstdio>
#include <cwchar>
#include <windows.h>

namespace wintest {
std::vector<TestCase>& Registry()
{
    static std::vector<TestCase> cases;
    return cases;
}
} // namespace wintest

namespace {
void Print(const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Failures of the process itself must not wait for a click on a Wine dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    std::string filter;
    if (argc > 1)
        filter = brivel::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(argv[1])));

    int passed = 0, failed = 0;
    for (const auto& test : wintest::Registry()) {
        if (!filter.empty() && test.name.find(filter) == std::string::npos)
            continue;
        std::string problem;
        try {
            test.fn();
        } catch (const wintest::Failure& f) {
            problem = f.what();
        } catch (const std::exception& e) {
            problem = std::string("unexpected exception: ") + e.what();
        } catch (...) {
            problem = "unexpected exception of unknown type";
        }
        if (problem.empty()) {
            ++passed;
            Print("PASS " + test.name + "\n");
        } else {
            ++failed;
            const std::string row = wintest::Context().empty() ? "" : " [" + wintest::Context() + "]";
            Print("FAIL " + test.name + row + "\n    " + problem + "\n");
        }
        wintest::Context().clear();
    }
    Print("Windows: " + std::to_string(passed) + " passed, " + std::to_string(failed) + " failed\n");
    return failed == 0 && passed > 0 ? 0 : 1;
}
