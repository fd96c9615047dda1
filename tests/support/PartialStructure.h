#pragma once
#include "support/DatabaseTarget.h"

namespace brivel::test {

// Runs the program's installation on the target and, when the `statement`-th
// statement is announced (before it is sent), ends the session from the server's
// side, as a crash or a cut link would. Where DDL commits by itself (MariaDB,
// Firebird) the tables created before stay: a partial structure.
Outcome InstallUntilSessionKilled(const DatabaseTarget& t, int statement);

// Objects of the user's, none of them a Brivel table, that make one CREATE TABLE of
// the script fail: the fourth (API_USUARIOS's name or its key's name is taken) or,
// on MariaDB, the third (the name of API_ROTA_PARAMETROS's foreign key is taken).
// `failing` gets that statement's number.
Outcome BlockScriptCreation(const DatabaseTarget& t, int& failing);
// Removes those objects again.
Outcome UnblockScriptCreation(const DatabaseTarget& t);

} // namespace brivel::test
