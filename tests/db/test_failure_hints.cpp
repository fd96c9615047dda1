// The line that follows a failure's own text and names its likely cause, on the
// real servers (and the SQL Server and Oracle stand-ins where they produce the
// failure): recognised by the client library's codes, after the server's text,
// which stays as the library gave it.
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/FailureHint.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
#include "support/DbFixtures.h"
#include "db/sqlserver/OdbcApi.h"
#include "support/ReadOnlyFolder.h"
#include "support/TempFolder.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <memory>

using namespace brivel;
using namespace brivel::test;

#ifndef BRIVEL_FAKE_OCI
#error "BRIVEL_FAKE_OCI: the OCI stand-in library"
#endif

namespace {

const char* const kUnknownHost = "brivel-nao-existe.invalid";
const char* const kCreateTable = "CREATE TABLE BRIVEL_T (ID INTEGER)";

std::string S(const QString& s) { return s.toStdString(); }

QString NewName(const char* prefix)
{
    return QString::fromLatin1(prefix) + QString::number(QRandomGenerator::global()->bounded(1000000, 9999999));
}

// What one attempt needs: the page's fields, and what runs once connected (if anything).
struct Attempt {
    ConnectionFields fields;
    std::string afterOpen;
    std::unique_ptr<TempFolder> folder;
    std::unique_ptr<ReadOnlyFolder> readOnly;
    std::unique_ptr<db::DriverLink> oracleLink;
};

ConnectionFields Fields(TTipoBanco kind, const QString& host, const QString& port, const QString& db,
                        const QString& user, const QString& password)
{
    return {static_cast<int>(kind), S(host), S(db), S(port), S(user), S(password)};
}

Outcome PreparePg(const QString& what, Attempt& a)
{
    PgServer s;
    QString db;
    if (auto o = ReadPgServer(s); !o)
        return o;
    if (auto o = CreatePgDatabase(s, db); !o)
        return o;
    a.fields = Fields(tbPostgreSQL, s.host, s.port, db, s.user, s.password);
    if (what == "login")
        a.fields.senha = "Senha-Errada-42";
    else if (what == "database")
        a.fields.database = "brivel_nao_existe";
    else if (what == "listening")
        a.fields.porta = S(QString::number(FreePort()));
    else if (what == "host")
        a.fields.servidor = kUnknownHost;
    else if (what == "privilege")
        a.afterOpen = "CREATE TABLE pg_catalog.BRIVEL_T (ID INTEGER)";  // no one may, not even the owner
    return {};
}

Outcome PrepareMariaDb(const QString& what, Attempt& a)
{
    MariaDbServer m;
    QString db;
    if (auto o = ReadMariaDbServer(m); !o)
        return o;
    if (auto o = CreateMariaDbDatabase(m, db); !o)
        return o;
    a.fields = Fields(tbMySQL, m.host, m.port, db, m.user, m.password);
    if (what == "login")
        a.fields.senha = "Senha-Errada-42";
    else if (what == "database")
        a.fields.database = "brivel_nao_existe";
    else if (what == "listening")
        a.fields.porta = S(QString::number(FreePort()));
    else if (what == "host")
        a.fields.servidor = kUnknownHost;
    else if (what == "privilege") {
        const QString user = NewName("brivel_sp");
        const QString sql = QStringLiteral("CREATE USER '%1'@'%' IDENTIFIED BY 'sem-priv-1'; "
                                           "GRANT SELECT ON `%2`.* TO '%1'@'%';")
                                .arg(user, db);
        if (auto o = RunMariaDbSql(m, db, sql); !o)
            return o;
        a.fields.usuario = S(user);
        a.fields.senha = "sem-priv-1";
        a.afterOpen = kCreateTable;
    }
    return {};
}

Outcome PrepareFirebird(const QString& what, Attempt& a)
{
    FbServer fb;
    QString path;
    if (auto o = ReadFbServer(fb); !o)
        return o;
    if (auto o = CreateFbDatabase(fb, path); !o)
        return o;
    a.fields = Fields(tbFirebird, fb.host, fb.port, path, fb.user, fb.password);
    if (what == "login")
        a.fields.senha = "Errada42";
    else if (what == "database")
        a.fields.database = S(fb.dataDir + QStringLiteral("/nao_existe.fdb"));
    else if (what == "listening")
        a.fields.porta = S(QString::number(FreePort()));
    else if (what == "host")
        a.fields.servidor = kUnknownHost;
    return {};
}

Outcome PrepareSqlite(const QString& what, Attempt& a)
{
    a.folder = std::make_unique<TempFolder>();
    a.fields = Fields(tbSQLite, {}, {}, a.folder->file("brivel.db"), {}, {});
    if (what == "database") {
        a.fields.database = S(a.folder->file("pasta_que_nao_existe/brivel.db"));
    } else if (what == "privilege") {
        if (auto o = RunSqliteSql(a.folder->file("brivel.db"), QStringLiteral("CREATE TABLE X (ID INTEGER);")); !o)
            return o;
        a.readOnly = std::make_unique<ReadOnlyFolder>(a.folder->path());
        if (!a.readOnly->ok())
            return Outcome::Fail(a.readOnly->error());
        a.afterOpen = kCreateTable;
    }
    return {};
}

Outcome PrepareOracle(const QString& what, Attempt& a)
{
    a.folder = std::make_unique<TempFolder>();
    if (!QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), a.folder->file("libclntsh.so")))
        return Outcome::Fail("cannot copy the OCI stand-in");
    a.folder->write("libociei.so", QByteArray());
    const LocalClientSetup setup = PrepareOracleClient(S(a.folder->path()));
    a.oracleLink = std::make_unique<db::DriverLink>("Ora", "Oracle", db::OracleLibraryFiles());
    a.oracleLink->VendorLib = setup.libraryPath;
    // The stand-in: any password but "tiger" is refused; host "nowhere" is unknown.
    a.fields = Fields(tbOracle, QStringLiteral("dbhost"), QStringLiteral("1521"), QStringLiteral("XEPDB1"),
                      QStringLiteral("BRIVEL"), QStringLiteral("tiger"));
    if (what == "login")
        a.fields.senha = "errada";
    else if (what == "host")
        a.fields.servidor = "nowhere";
    return {};
}

Outcome Prepare(const QString& kind, const QString& what, Attempt& a)
{
    if (kind == "postgresql")
        return PreparePg(what, a);
    if (kind == "mysql")
        return PrepareMariaDb(what, a);
    if (kind == "firebird")
        return PrepareFirebird(what, a);
    if (kind == "sqlite")
        return PrepareSqlite(what, a);
    return PrepareOracle(what, a);
}

} // namespace

class FailureHintsTest : public QObject {
    Q_OBJECT

private slots:
    void hintFollowsTheServersText_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("cause");
        // A piece of the library's or server's own text, which must stay in the message.
        QTest::addColumn<QString>("ownText");
        const auto row = [](const char* kind, const char* what, FailureCause cause, const char* ownText) {
            QTest::addRow("%s %s", kind, what) << kind << what << static_cast<int>(cause) << ownText;
        };
        row("postgresql", "login", FailureCause::Login, "password authentication failed for user");
        row("postgresql", "database", FailureCause::DatabaseNotFound, "database \"brivel_nao_existe\" does not exist");
        row("postgresql", "listening", FailureCause::NothingListening, "Connection refused");
        row("postgresql", "host", FailureCause::HostNotFound, kUnknownHost);
        row("postgresql", "privilege", FailureCause::NoPrivilege, "permission denied for schema pg_catalog");
        row("mysql", "login", FailureCause::Login, "Access denied for user");
        row("mysql", "database", FailureCause::DatabaseNotFound, "Unknown database 'brivel_nao_existe'");
        row("mysql", "listening", FailureCause::NothingListening, "Can't connect to server on '127.0.0.1'");
        row("mysql", "host", FailureCause::HostNotFound, kUnknownHost);
        row("mysql", "privilege", FailureCause::NoPrivilege, "CREATE command denied");
        row("firebird", "login", FailureCause::Login, "Your user name and password are not defined");
        row("firebird", "database", FailureCause::DatabaseNotFound, "nao_existe.fdb");
        row("firebird", "listening", FailureCause::NothingListening, "Unable to complete network request");
        row("firebird", "host", FailureCause::HostNotFound, kUnknownHost);
        row("sqlite", "database", FailureCause::DatabaseNotFound, "unable to open database file");
        row("sqlite", "privilege", FailureCause::NoPrivilege, "attempt to write a readonly database");
        row("oracle", "login", FailureCause::Login, "ORA-01017: invalid username/password; logon denied");
        row("oracle", "host", FailureCause::HostNotFound, "ORA-12545");
    }

    void hintFollowsTheServersText()
    {
        QFETCH(QString, kind);
        QFETCH(QString, what);
        QFETCH(int, cause);
        QFETCH(QString, ownText);
        Attempt a;
        BRIVEL_REQUIRE(Prepare(kind, what, a));
        const ConnectionDefinition def = DefinitionFor(a.fields);
        db::Connection c(db::DriverLinks{nullptr, a.oracleLink.get()});
        c.setDriverID(def.driverID());
        for (const auto& [name, value] : def.params())
            c.setParam(name, value);
        c.setLoginPrompt(false);

        FailureCause seen = FailureCause::Unknown;
        QString message;
        try {
            c.open();
            if (!a.afterOpen.empty())
                c.execSQL(a.afterOpen);
            QFAIL("no failure");
        } catch (const Error& e) {
            seen = e.cause();
            message = QString::fromUtf8(e.what());
        }
        QVERIFY2(static_cast<int>(seen) == cause, qPrintable(message));
        // The library's text first, untouched; then the hint, once, as the last line.
        const QString hint = QString::fromStdString(FailureHint(seen, def));
        QVERIFY2(message.endsWith(QStringLiteral("\r\n") + hint), qPrintable(message));
        const QString own = message.left(message.size() - hint.size() - 2);
        QVERIFY2(own.contains(ownText), qPrintable(message));
        QVERIFY2(!own.contains(QStringLiteral("Causa provável")), qPrintable(message));
        if (kind == "postgresql") {
            // Nothing of libpq's verbose form, which the code is read from, is left.
            QVERIFY2(!own.contains(QRegularExpression(QStringLiteral(":  [0-9A-Z]{5}: "))), qPrintable(own));
            QVERIFY2(!own.contains(QStringLiteral("LOCATION")), qPrintable(own));
        }
        // Where nothing listens, the hint names both the host and the port.
        if (what == "listening")
            QVERIFY2(hint.contains(QStringLiteral("127.0.0.1:") + QString::fromStdString(a.fields.porta)),
                     qPrintable(hint));
        if (what == "host")
            QVERIFY2(hint.contains(QString::fromStdString(a.fields.servidor)), qPrintable(hint));
    }

    // SQL Server's SQLSTATEs and native numbers, which the ODBC stand-in (a
    // PostgreSQL driver) does not give: as the Microsoft and FreeTDS drivers report them.
    void sqlServerCodes_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("native");
        QTest::addColumn<int>("cause");
        QTest::newRow("login failed") << "28000" << 18456 << int(FailureCause::Login);
        QTest::newRow("login timeout") << "HYT00" << 0 << int(FailureCause::Timeout);
        QTest::newRow("host unknown") << "08001" << 11001 << int(FailureCause::HostNotFound);
        QTest::newRow("refused") << "08001" << 10061 << int(FailureCause::NothingListening);
        QTest::newRow("other network failure") << "08001" << 53 << int(FailureCause::Unknown);
        QTest::newRow("database unknown") << "42000" << 4060 << int(FailureCause::DatabaseNotFound);
        QTest::newRow("CREATE TABLE denied") << "42000" << 262 << int(FailureCause::NoPrivilege);
        QTest::newRow("syntax error") << "42000" << 102 << int(FailureCause::Unknown);
    }
    void sqlServerCodes()
    {
        QFETCH(QString, state);
        QFETCH(int, native);
        QFETCH(int, cause);
        QCOMPARE(static_cast<int>(db::odbc::CauseOf(state.toStdString(), native)), cause);
    }

    // Failures whose cause the codes do not tell get no line of ours.
    void noHintWithoutAKnownCause()
    {
        PgServer s;
        BRIVEL_REQUIRE(ReadPgServer(s));
        db::Connection c;
        DefinePg(c, s, s.database, s.password);
        BRIVEL_OK(c.open());
        const QString message = ErrorOf([&] { c.execSQL("SELEC 1"); });
        QVERIFY2(message.contains(QStringLiteral("syntax error")), qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("Causa provável")), qPrintable(message));
    }

    // Each kind's default port is named when none was typed; Oracle's comes from its descriptor.
    void hintNamesTheAddressReached_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("address");
        QTest::newRow("typed port") << int(tbPostgreSQL) << "6543" << "db.local:6543";
        QTest::newRow("PostgreSQL default") << int(tbPostgreSQL) << "" << "db.local:5432";
        QTest::newRow("MySQL default") << int(tbMySQL) << "" << "db.local:3306";
        QTest::newRow("Firebird default") << int(tbFirebird) << "" << "db.local:3050";
        QTest::newRow("SQL Server default") << int(tbSQLServer) << "" << "db.local:1433";
        QTest::newRow("Oracle descriptor") << int(tbOracle) << "1522" << "db.local:1522";
    }
    void hintNamesTheAddressReached()
    {
        QFETCH(int, kind);
        QFETCH(QString, port);
        QFETCH(QString, address);
        const ConnectionFields f{kind, "db.local", "BRIVEL", S(port), "u", "p"};
        const QString hint =
            QString::fromStdString(FailureHint(FailureCause::NothingListening, DefinitionFor(f)));
        QVERIFY2(hint.contains(QStringLiteral(" ") + address + QStringLiteral(".")), qPrintable(hint));
    }
};

QTEST_GUILESS_MAIN(FailureHintsTest)
#include "test_failure_hints.moc"
