#pragma once
// A fresh database of each kind, reached as the connection page reaches it: the
// real servers of scripts/test-servers.sh, SQLite in a temporary folder, SQL
// Server through the PostgreSQL ODBC driver under a SQL Server driver name, and
// Oracle through the OCI stand-in in an Instant Client folder of its own.
#include "core/ConnectionFields.h"
#include "support/ConnectionSetup.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
#include "support/TempFolder.h"
#include "support/TestServers.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace brivel::test {

// The kinds by the names the tests' tables use.
const QStringList& KindNames();
TTipoBanco KindNamed(const QString& name);

ConnectionFields FieldsOf(TTipoBanco kind, const QString& host, const QString& port, const QString& database,
                          const QString& user, const QString& password);

// The OCI stand-in as the Instant Client in a folder of its own, with its Oracle link.
class OracleStandIn {
public:
    OracleStandIn();
    db::DriverLinks links() { return {nullptr, &link_}; }
    db::DriverLink& link() { return link_; }
    const TempFolder& folder() const { return folder_; }
    // The calls the stand-in logged, a line each.
    QStringList log() const;
    // What the login page holds for the stand-in's server.
    static ConnectionFields Fields(const QString& password = QStringLiteral("tiger"));

private:
    TempFolder folder_;
    db::DriverLink link_;
};

// One kind's fresh database and what reaches it.
struct KindTarget {
    TTipoBanco kind = tbPostgreSQL;
    ConnectionFields fields;
    PgServer pg;           // PostgreSQL and SQL Server
    MariaDbServer mariaDb;
    FbServer fb;
    QString database;      // its name, or its file for Firebird and SQLite
    std::unique_ptr<TempFolder> folder;
    std::unique_ptr<OracleStandIn> oracle;

    db::DriverLinks links() { return oracle ? oracle->links() : db::DriverLinks{}; }
    // A connection defined for the fresh database; `password` instead of the right one when given.
    std::unique_ptr<db::Connection> connection(const std::string* password = nullptr);
};
Outcome PrepareTarget(const QString& kindName, KindTarget& target);

// Runs `sql` with the kind's own command-line client (psql for SQL Server's
// stand-in), outside the code under test; rows as in RunPgSql.
Outcome RunNativeSql(KindTarget& target, const QString& sql, QString* output = nullptr);

} // namespace brivel::test
