#pragma once
// The installer's steps on an open db::Connection, as the wizard runs them, for
// the adapters' tests against real servers and stand-ins.
#include "core/DbKind.h"
#include "db/Connection.h"

#include <string>

namespace wintest {

// The variable set by scripts/test-servers.sh; a failure naming it when missing
// (a test that needs a server fails without one, it never skips).
std::string ServerEnv(const char* name);

// A name no earlier run used, for throwaway databases: prefix + digits.
std::string UniqueName(const std::string& prefix);

// True when the kind's existence query finds `table`.
bool TableExists(brivel::db::Connection& c, brivel::TTipoBanco kind, const std::string& table);

// Runs the kind's creation script in one transaction, committing after each
// CREATE TABLE on Firebird, and on failure rolls back and drops the tables this
// run created where DDL is not transactional. With `failAt` > 0 the statement
// "failing" is run in place of the script's statement number `failAt` (1-based).
// Returns the error's message, or "" when everything was committed.
std::string Install(brivel::db::Connection& c, brivel::TTipoBanco kind, size_t failAt = 0,
                    const std::string& failing = "");

} // namespace wintest
