#include "Installation.h"

#include "Check.h"

#include "core/AppPaths.h"
#include "core/InstallSteps.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"

#include <atomic>
#include <exception>
#include <vector>
#include <windows.h>

namespace wintest {

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
    return c.queryInt(brivel::ExistenceQuery(kind), "TABELA", table, "QTD") > 0;
}

std::string Install(brivel::db::Connection& c, brivel::TTipoBanco kind, size_t failAt, const std::string& failing)
{
    std::vector<std::string> created;
    try {
        c.startTransaction();
        size_t number = 0;
        for (const auto& st : brivel::SplitStatements(brivel::ScriptFor(kind))) {
            ++number;
            c.execSQL(number == failAt ? failing : st.sql);
            const std::string table = brivel::CreatedTableName(st.sql);
            if (table.empty() || number == failAt)
                continue;
            created.push_back(table);
            // Firebird: a table created in a transaction is usable only after its commit.
            if (kind == brivel::tbFirebird && c.inTransaction()) {
                c.commit();
                c.startTransaction();
            }
        }
        c.commit();
        return "";
    } catch (const std::exception& e) {
        const std::string message = e.what();
        if (c.inTransaction())
            c.rollback();
        if (!brivel::DdlIsTransactional(kind))
            for (auto it = created.rbegin(); it != created.rend(); ++it)
                c.execSQL("DROP TABLE " + *it);
        return message;
    }
}

} // namespace wintest
