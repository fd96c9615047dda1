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
#include "db/sqlserver/OdbcApi.h"
#include "support/DbFixtures.h"
#include "support/KindTargets.h"
#include "support/ReadOnlyFolder.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <memory>

using namespace brivel;
using namespace brivel::test;

namespace {

const char* const kUnknownHost = "brivel-nao-existe.invalid";
const char* const kCreateTable = "CREATE TABLE BRIVEL_T (ID INTEGER)";

std::string S(const QString& s) { return s.toStdString(); }

QString NewName(const char* prefix)
{
    return QString::fromLatin1(prefix) + QString::number(QRandomGenerator::global()->bounded(1000000, 9999999));
}

// A fresh database of the kind, reached with one thing spoilt, and what runs once connected.
struct Attempt {
    KindTarget target;
    std::string afterOpen;
    std::unique_ptr<ReadOnlyFolder> readOnly;
};

// A user without the right to create tables (or a place where none can be written).
Outcome TakePrivilegeAway(Attempt& a)
{
    KindTarget& t = a.target;
    a.afterOpen = kCreateTable;
    switch (t.kind) {
    case tbPostgreSQL:
        a.afterOpen = "CREATE TABLE pg_catalog.BRIVEL_T (ID INTEGER)";  // no one may, not even the owner
        return {};
    case tbMySQL: {
        const QString user = NewName("brivel_sp");
        const QString sql = QStringLiteral("CREATE USER '%1'@'%' IDENTIFIED BY 'sem-priv-1'; "
                                           "GRANT SELECT ON `%2`.* TO '%1'@'%';")
                                .arg(user, t.database);
        if (auto o = RunMariaDbSql(t.mariaDb, t.database, sql); !o)
            return o;
        t.fields.usuario = S(user);
        t.fields.senha = "sem-priv-1";
        return {};
    }
    case tbSQLite:
        if (auto o = RunSqliteSql(t.database, QStringLiteral("CREATE TABLE X (ID INTEGER);")); !o)
            return o;
        a.readOnly = std::make_unique<ReadOnlyFolder>(t.folder->path());
        return a.readOnly->ok() ? Outcome{} : Outcome::Fail(a.readOnly->error());
    default: return Outcome::Fail(QStringLiteral("no privilege case for this kind"));
    }
}

// The stand-in refuses any password but "tiger" and knows no host "nowhere".
Outcome Prepare(const QString& kind, const QString& what, Attempt& a)
{
    if (auto o = PrepareTarget(kind, a.target); !o)
        return o;
    KindTarget& t = a.target;
    ConnectionFields& f = t.fields;
    if (what == "login") {
        f.senha = t.kind == tbFirebird ? "Errada42" : "Senha-Errada-42";
    } else if (what == "database") {
        if (t.kind == tbFirebird)
            f.database = S(t.fb.dataDir + QStringLiteral("/nao_existe.fdb"));
        else if (t.kind == tbSQLite)
            f.database = S(t.folder->file("pasta_que_nao_existe/brivel.db"));
        else
            f.database = "brivel_nao_existe";
    } else if (what == "listening") {
        f.porta = S(QString::number(FreePort()));
    } else if (what == "host") {
        f.servidor = t.kind == tbOracle ? "nowhere" : kUnknownHost;
    } else if (what == "privilege") {
        return TakePrivilegeAway(a);
    }
    return {};
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
        const ConnectionDefinition def = DefinitionFor(a.target.fields);
        const auto connection = a.target.connection();
        db::Connection& c = *connection;

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
            QVERIFY2(hint.contains(QStringLiteral("127.0.0.1:") + QString::fromStdString(a.target.fields.porta)),
                     qPrintable(hint));
        if (what == "host")
            QVERIFY2(hint.contains(QString::fromStdString(a.target.fields.servidor)), qPrintable(hint));
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
