#include "support/KindTargets.h"

#include "core/ConnectionDefinition.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "support/DbFixtures.h"
#include "support/OdbcDriverLists.h"

#include <QFile>

#ifndef BRIVEL_FAKE_OCI
#error "BRIVEL_FAKE_OCI: the OCI stand-in library"
#endif

namespace brivel::test {

namespace {
std::string S(const QString& s) { return s.toStdString(); }
} // namespace

const QStringList& KindNames()
{
    static const QStringList names = {"postgresql", "mysql", "firebird", "sqlite", "sqlserver", "oracle"};
    return names;
}

TTipoBanco KindNamed(const QString& name)
{
    static const TTipoBanco kinds[] = {tbPostgreSQL, tbMySQL, tbFirebird, tbSQLite, tbSQLServer, tbOracle};
    return kinds[KindNames().indexOf(name)];
}

ConnectionFields FieldsOf(TTipoBanco kind, const QString& host, const QString& port, const QString& database,
                          const QString& user, const QString& password)
{
    return FieldsOf(kind, S(host), S(port), S(database), S(user), S(password));
}

OracleStandIn::OracleStandIn() : link_("Ora", "Oracle", db::OracleLibraryFiles())
{
    if (!QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), folder_.file("libclntsh.so")))
        qFatal("cannot copy the OCI stand-in");
    folder_.write("libociei.so", QByteArray());
    const LocalClientSetup setup = PrepareOracleClient(S(folder_.path()));
    link_.VendorLib = setup.libraryPath;
    link_.VendorHome = setup.homeFolder;
}

QStringList OracleStandIn::log() const
{
    return QString::fromUtf8(ReadFile(folder_.file("fakeoci.log"))).split('\n', Qt::SkipEmptyParts);
}

ConnectionFields OracleStandIn::Fields(const QString& password)
{
    return FieldsOf(tbOracle, "dbhost", "1521", "XEPDB1", "BRIVEL", password);
}

std::unique_ptr<db::Connection> KindTarget::connection(const std::string* password)
{
    auto c = std::make_unique<db::Connection>(links());
    ConnectionFields f = fields;
    if (password)
        f.senha = *password;
    DefineConnection(*c, f);
    return c;
}

Outcome PrepareTarget(const QString& kindName, KindTarget& t)
{
    t.kind = KindNamed(kindName);
    switch (t.kind) {
    case tbPostgreSQL:
    case tbSQLServer:
        if (auto o = ReadPgServer(t.pg); !o)
            return o;
        if (auto o = CreatePgDatabase(t.pg, t.database); !o)
            return o;
        if (t.kind == tbSQLServer)
            if (auto o = UseServersDriverList(); !o)
                return o;
        t.fields = FieldsOf(t.kind, t.pg.host, t.pg.port, t.database, t.pg.user, t.pg.password);
        return {};
    case tbMySQL:
        if (auto o = ReadMariaDbServer(t.mariaDb); !o)
            return o;
        if (auto o = CreateMariaDbDatabase(t.mariaDb, t.database); !o)
            return o;
        t.fields = FieldsOf(tbMySQL, t.mariaDb.host, t.mariaDb.port, t.database, t.mariaDb.user, t.mariaDb.password);
        return {};
    case tbFirebird:
        if (auto o = ReadFbServer(t.fb); !o)
            return o;
        if (auto o = CreateFbDatabase(t.fb, t.database); !o)
            return o;
        t.fields = FieldsOf(tbFirebird, t.fb.host, t.fb.port, t.database, t.fb.user, t.fb.password);
        return {};
    case tbSQLite:
        t.folder = std::make_unique<TempFolder>();
        t.database = t.folder->file("brivel.db");
        t.fields = FieldsOf(tbSQLite, {}, {}, t.database, {}, {});
        return {};
    case tbOracle:
        t.oracle = std::make_unique<OracleStandIn>();
        t.fields = OracleStandIn::Fields();
        return {};
    }
    return Outcome::Fail("unknown kind " + kindName);
}

Outcome RunNativeSql(KindTarget& t, const QString& sql, QString* output)
{
    switch (t.kind) {
    case tbPostgreSQL:
    case tbSQLServer: return RunPgSql(t.pg, t.database, sql, output);
    case tbMySQL: return RunMariaDbSql(t.mariaDb, t.database, sql, output);
    case tbFirebird: return RunFbSql(t.fb, t.database, sql, output);
    case tbSQLite: return RunSqliteSql(t.database, sql, output);
    case tbOracle: break;
    }
    return Outcome::Fail(QStringLiteral("no command-line client for the Oracle stand-in"));
}

} // namespace brivel::test
