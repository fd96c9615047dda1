#pragma once
#include "db/Connection.h"
#include "support/DatabaseTarget.h"

namespace brivel::test {

// A second session on the target's database that holds up the installation's first
// CREATE TABLE: an open transaction that created API_CONFIG (PostgreSQL, Firebird),
// a write lock on the file (SQLite), FLUSH TABLES WITH READ LOCK (MariaDB).
class SessionHolder {
public:
    Outcome take(const DatabaseTarget& t);
    // Lets go (rolls back); safe to call twice.
    void release();
    ~SessionHolder() { release(); }

private:
    db::Connection conn_;
    int kind_ = tbSQLite;
};

} // namespace brivel::test
