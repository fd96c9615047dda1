#include "Installation.h"

#include "Check.h"

#include "core/AppPaths.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"

#include <atomic>
#include <windows.h>

namespace wintest {

namespace {
struct LogLines : brivel::InstallLog {
    std::vector<std::string>& lines;
    explicit LogLines(std::vector<std::string>& l) : lines(l) {}
    void line(const std::string& msg) override { lines.push_back(msg); }
};
} // namespace

std::string ServerEnv(const char* name)
{
    const std::string value = brivel::GetEnv(name);
    if (value.empty())
        throw Failure(std::string(name) + " is not set: the test servers are missing "
                                          "(scripts/test-servers.sh start DIR, then load DIR/servers.env)");
    return value;
}

std::string UniqueName(const std::string& prefix)
{
    static std::atomic<unsigned> counter{0};
    return prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount() % 100000) + "_" +
           std::to_string(++counter);
}

bool TableExists(brivel::db::Connection& c, brivel::TTipoBanco kind, const std::string& table)
{
    std::vector<std::string> lines;
    LogLines log(lines);
    return brivel::InstallFlow(c, kind, brivel::DisplayName(kind), log).tableExists(table);
}

std::string ScriptFailingAt(brivel::TTipoBanco kind, size_t number, const std::string& statement)
{
    // Each statement on lines of its own ending with ";" splits back the same way.
    std::string script;
    size_t n = 0;
    for (const auto& st : brivel::SplitStatements(brivel::ScriptFor(kind)))
        script += (++n == number ? statement : st.sql) + ";\r\n";
    if (number == 0 || number > n)
        throw Failure("the script has no statement " + std::to_string(number));
    return script;
}

Installation Install(brivel::db::Connection& c, brivel::TTipoBanco kind, size_t failAt, const std::string& failing)
{
    Installation out;
    LogLines log(out.log);
    brivel::InstallFlow flow(c, kind, brivel::DisplayName(kind), log);
    if (failAt > 0)
        flow.setScript(ScriptFailingAt(kind, failAt, failing));
    out.result = flow.run();
    return out;
}

} // namespace wintest
