#include "support/DatabaseTarget.h"

#include "core/SchemaScript.h"

#include "support/ConnectionSetup.h"

#include <QProcess>

namespace brivel::test {

ConnectionFields DatabaseTarget::fields() const
{
    return FieldsOf(static_cast<TTipoBanco>(kind), login.server.toStdString(), login.port.toStdString(),
                    login.database.toStdString(), login.user.toStdString(), login.password.toStdString());
}

Outcome DatabaseTarget::prepare(int k, const TempFolder& folder)
{
    kind = k;
    switch (kind) {
    case tbSQLite:
        login.database = folder.file("brivel.db");
        return {};
    case tbPostgreSQL:
        if (auto r = ReadPgServer(pg); !r)
            return r;
        login = {pg.host, pg.port, {}, pg.user, pg.password};
        return CreatePgDatabase(pg, login.database);
    case tbMySQL:
        if (auto r = ReadMariaDbServer(maria); !r)
            return r;
        login = {maria.host, maria.port, {}, maria.user, maria.password};
        return CreateMariaDbDatabase(maria, login.database);
    case tbFirebird:
        if (auto r = ReadFbServer(fb); !r)
            return r;
        login = {fb.host, fb.port, {}, fb.user, fb.password};
        return CreateFbDatabase(fb, login.database);
    }
    return Outcome::Fail(QStringLiteral("kind not prepared here"));
}

Outcome DatabaseTarget::sql(const QString& statement, QString* out) const
{
    switch (kind) {
    case tbPostgreSQL: return RunPgSql(pg, login.database, statement, out);
    case tbMySQL: return RunMariaDbSql(maria, login.database, statement, out);
    case tbFirebird: return RunFbSql(fb, login.database, statement, out);
    default: {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), login.database, statement});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return Outcome::Fail(QStringLiteral("sqlite3: ") + QString::fromUtf8(p.readAllStandardError()));
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return {};
    }
    }
}

QStringList DatabaseTarget::brivelTables() const
{
    QString out;
    QString query;
    switch (kind) {
    case tbPostgreSQL:
        query = "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema();";
        break;
    case tbMySQL: query = "SHOW TABLES;"; break;
    case tbFirebird: query = "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0;"; break;
    default: query = "SELECT name FROM sqlite_master WHERE type = 'table';"; break;
    }
    if (!sql(query, &out))
        return {QStringLiteral("<query failed>")};
    QStringList tables;
    for (const QString& row : out.split(QLatin1Char('\n')))
        if (row.trimmed().toUpper().startsWith(QLatin1String("API_")))
            tables << row.trimmed().toUpper();
    tables.sort();
    return tables;
}

QString DatabaseTarget::scalar(const QString& query) const
{
    QString out;
    if (!sql(query, &out))
        return QStringLiteral("<query failed>");
    return out.split(QLatin1Char('\n')).last().trimmed();
}

Outcome DatabaseTarget::killOtherSessions() const
{
    switch (kind) {
    case tbPostgreSQL:
        return RunPgSql(pg, pg.database,
                        QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1';")
                            .arg(login.database));
    case tbMySQL: {
        QString ids;
        if (auto r = RunMariaDbSql(maria, QString(),
                                   QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '%1' AND "
                                                  "ID <> CONNECTION_ID();")
                                       .arg(login.database),
                                   &ids);
            !r)
            return r;
        for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            RunMariaDbSql(maria, QString(), QStringLiteral("KILL %1;").arg(id));
        return {};
    }
    case tbFirebird:
        // The same user may end its own attachments.
        return RunFbSql(fb, login.database,
                        QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION;"));
    }
    return Outcome::Fail(QStringLiteral("no sessions to end for this kind"));
}

void AddDatabaseKinds()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("SQLite") << int(tbSQLite);
    QTest::newRow("PostgreSQL") << int(tbPostgreSQL);
    QTest::newRow("MySQL") << int(tbMySQL);
    QTest::newRow("Firebird") << int(tbFirebird);
}

QStringList AllBrivelTables()
{
    QStringList t;
    for (const char* name : kBrivelTables)
        t << QString::fromLatin1(name);
    t.sort();
    return t;
}

} // namespace brivel::test
