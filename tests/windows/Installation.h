#pragma once
// The program's installation flow on an open db::Connection, for the adapters'
// tests against real servers and stand-ins.
#include "core/DbKind.h"
#include "db/Connection.h"
#include "flow/InstallFlow.h"

#include <string>
#include <vector>

namespace wintest {

// The variable set by scripts/test-servers.sh; a failure naming it when missing
// (a test that needs a server fails without one, it never skips).
std::string ServerEnv(const char* name);

// A name no earlier run used, for throwaway databases: prefix + digits.
std::string UniqueName(const std::string& prefix);

// True when the flow's existence check finds `table`.
bool TableExists(brivel::db::Connection& c, brivel::TTipoBanco kind, const std::string& table);

// The kind's creation script with its statement number `number` (1-based)
// replaced by `statement`.
std::string ScriptFailingAt(brivel::TTipoBanco kind, size_t number, const std::string& statement);

struct Installation {
    brivel::InstallResult result;
    std::vector<std::string> log;
};

// Runs the program's installation on `c` (opened when closed, left open); with
// `failAt` > 0 the script's statement number `failAt` is `failing` instead.
Installation Install(brivel::db::Connection& c, brivel::TTipoBanco kind, size_t failAt = 0,
                     const std::string& failing = "");

} // namespace wintest
