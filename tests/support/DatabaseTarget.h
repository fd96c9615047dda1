#pragma once
#include "core/ConnectionFields.h"
#include "support/TestServers.h"
#include "support/Wizard.h"

#include <QStringList>

namespace brivel::test {

// A fresh database of one kind (SQLite, PostgreSQL, MariaDB, Firebird), reachable
// through the program and through the kind's own command-line client.
struct DatabaseTarget {
    int kind = tbSQLite;
    Wizard::Login login;
    PgServer pg;
    MariaDbServer maria;
    FbServer fb;

    // A new empty database; SQLite's file goes into `folder`.
    Outcome prepare(int k, const TempFolder& folder);

    // The connection page's fields for this database.
    ConnectionFields fields() const;

    // Runs SQL with the kind's own client; `out` gets one line per row.
    Outcome sql(const QString& statement, QString* out = nullptr) const;

    // The Brivel tables present, upper-cased and sorted.
    QStringList brivelTables() const;

    // The last line of the query's output, trimmed.
    QString scalar(const QString& query) const;

    // Ends every other session on this database from the server's side (MariaDB,
    // PostgreSQL, Firebird), as a crash or a network failure would.
    Outcome killOtherSessions() const;
};

// A data column "kind" with a row for each kind DatabaseTarget prepares.
void AddDatabaseKinds();

// The six Brivel tables, sorted.
QStringList AllBrivelTables();

} // namespace brivel::test
