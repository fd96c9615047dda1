#pragma once
// Small helpers shared by the connection-layer tests.
#include "core/Error.h"
#include "db/Connection.h"
#include "support/ConnectionSetup.h"
#include "support/ErrorOf.h"
#include "support/TestServers.h"

#include <QProcess>
#include <QString>

namespace brivel::test {

// Runs `stmt`; a brivel::Error fails the test with its message.
#define BRIVEL_OK(stmt)                                                                            \
    do {                                                                                           \
        const QString brivelError_ = ::brivel::test::ErrorOf([&] { stmt; });                       \
        if (!brivelError_.isNull())                                                                \
            QFAIL(qPrintable(brivelError_));                                                       \
    } while (false)

// The PostgreSQL definition the connection page builds, for `database` on the test server.
inline void DefinePg(db::Connection& c, const PgServer& s, const QString& database, const QString& password)
{
    DefineConnection(c, FieldsOf(tbPostgreSQL, s.host.toStdString(), s.port.toStdString(), database.toStdString(),
                                 s.user.toStdString(), password.toStdString()));
}

// With the locking and synchronous modes the page does not offer.
inline void DefineSqlite(db::Connection& c, const QString& file, const QString& locking = QStringLiteral("Normal"),
                         const QString& synchronous = QStringLiteral("Normal"))
{
    ConnectionDefinition def;
    def.setDriverID("SQLite");
    def.set("DriverID", "SQLite");
    def.set("Database", file.toStdString());
    def.set("LockingMode", locking.toStdString());
    def.set("Synchronous", synchronous.toStdString());
    db::Define(c, def);
}

// Runs `sql` on a SQLite file with the sqlite3 command-line shell; rows as in RunPgSql.
inline Outcome RunSqliteSql(const QString& file, const QString& sql, QString* output = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), file});
    if (!p.waitForStarted(30000))
        return Outcome::Fail(QStringLiteral("sqlite3 did not start: %1").arg(p.errorString()));
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(120000);
    const QString err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !err.isEmpty())
        return Outcome::Fail(QStringLiteral("sqlite3 failed: %1").arg(err));
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return {};
}

} // namespace brivel::test
