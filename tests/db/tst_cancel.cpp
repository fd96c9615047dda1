// Cancelling a statement held up by a lock that a second session keeps, on the
// real servers (and SQLite's busy wait, and the OCI stand-in's waiting
// statement): by the bound on the wait for the server and at the user's request
// from another thread. Either way the client library's own cancel is used, so
// the connection stays usable for the rollback and what follows.
#include "core/ConnectionDefinition.h"
#include "core/InstallSteps.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "db/DriverLink.h"
#include "db/oracle/OracleSql.h"
#include "DbFixtures.h"
#include "OdbcDriverLists.h"
#include "support/TempFolder.h"

#include <QtTest>

#include <memory>
#include <thread>

using namespace brivel;
using namespace brivel::test;
using namespace std::chrono_literals;

#ifndef BRIVEL_FAKE_OCI
#error "BRIVEL_FAKE_OCI: the OCI stand-in library"
#endif

namespace {

std::string S(const QString& s) { return s.toStdString(); }

using db::Define;

ConnectionDefinition PgDefinition(const PgServer& s, const QString& db)
{
    ConnectionDefinition def;
    def.setDriverID("PG");
    def.set("DriverID", "PG");
    def.set("Server", S(s.host));
    def.set("Port", S(s.port));
    def.set("Database", S(db));
    def.set("User_Name", S(s.user));
    def.set("Password", S(s.password));
    def.set("CharacterSet", "utf8");
    return def;
}

ConnectionDefinition MariaDbDefinition(const MariaDbServer& s, const QString& db)
{
    ConnectionDefinition def;
    def.setDriverID("MySQL");
    def.set("DriverID", "MySQL");
    def.set("Server", S(s.host));
    def.set("Port", S(s.port));
    def.set("Database", S(db));
    def.set("User_Name", S(s.user));
    def.set("Password", S(s.password));
    def.set("CharacterSet", "utf8mb4");
    return def;
}

ConnectionDefinition FbDefinition(const FbServer& s, const QString& path)
{
    ConnectionDefinition def;
    def.setDriverID("FB");
    def.set("DriverID", "FB");
    def.set("Server", S(s.host));
    def.set("Port", S(s.port));
    def.set("Database", S(path));
    def.set("User_Name", S(s.user));
    def.set("Password", S(s.password));
    def.set("CharacterSet", "NONE");
    return def;
}

// A connection whose `held` statement waits for a lock that `holder` keeps,
// inside a transaction of its own; `existence` finds table T afterwards.
struct Scenario {
    std::unique_ptr<TempFolder> folder;
    std::unique_ptr<db::DriverLink> oracleLink;
    std::unique_ptr<db::Connection> holder;
    std::unique_ptr<db::Connection> tested;
    std::string held;
    std::string existence;
    std::string table = "T";

    ~Scenario()
    {
        if (tested)
            tested->close();
        if (holder)
            holder->close();  // the lock goes with the session
    }
};

// The same table on every server: one row whose update the holder keeps locked.
const char* const kTable = "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, V INTEGER)";
const char* const kRow = "INSERT INTO T (ID, V) VALUES (1, 0)";
const char* const kHolderUpdate = "UPDATE T SET V = 1 WHERE ID = 1";
const char* const kHeldUpdate = "UPDATE T SET V = 2 WHERE ID = 1";

// Opens both sessions; the holder takes the row lock.
Outcome Start(Scenario& s, const ConnectionDefinition& def, TTipoBanco kind, bool withHolder = true,
              const ConnectionDefinition* holderDef = nullptr)
{
    try {
        if (withHolder) {
            s.holder = std::make_unique<db::Connection>();
            Define(*s.holder, holderDef ? *holderDef : def);
            s.holder->open();
            s.holder->execSQL(kTable);
            s.holder->execSQL(kRow);
            s.holder->startTransaction();
            s.holder->execSQL(kHolderUpdate);
            s.held = kHeldUpdate;
        }
        if (!s.tested)
            s.tested = std::make_unique<db::Connection>();
        Define(*s.tested, def);
        s.tested->open();
        s.tested->startTransaction();
        s.existence = ExistenceQuery(kind);
    } catch (const std::exception& e) {
        return Outcome::Fail(QString::fromUtf8(e.what()));
    }
    return {};
}

Outcome Prepare(const QString& kind, Scenario& s)
{
    if (kind == "postgresql" || kind == "sqlserver") {
        PgServer pg;
        QString db;
        if (auto o = ReadPgServer(pg); !o)
            return o;
        if (auto o = CreatePgDatabase(pg, db); !o)
            return o;
        const ConnectionDefinition pgDef = PgDefinition(pg, db);
        if (kind == "postgresql")
            return Start(s, pgDef, tbPostgreSQL);
        if (auto o = UseServersDriverList(); !o)
            return o;
        return Start(s, SqlServerDefinition(pg, db), tbSQLServer, true, &pgDef);
    }
    if (kind == "mysql") {
        MariaDbServer m;
        QString db;
        if (auto o = ReadMariaDbServer(m); !o)
            return o;
        if (auto o = CreateMariaDbDatabase(m, db); !o)
            return o;
        return Start(s, MariaDbDefinition(m, db), tbMySQL);
    }
    if (kind == "firebird") {
        FbServer fb;
        QString path;
        if (auto o = ReadFbServer(fb); !o)
            return o;
        if (auto o = CreateFbDatabase(fb, path); !o)
            return o;
        return Start(s, FbDefinition(fb, path), tbFirebird);
    }
    if (kind == "sqlite") {
        s.folder = std::make_unique<TempFolder>();
        ConnectionDefinition def;
        def.setDriverID("SQLite");
        def.set("DriverID", "SQLite");
        def.set("Database", S(s.folder->file("held.db")));
        return Start(s, def, tbSQLite);
    }
    // Oracle: the stand-in's statement marked /*ESPERA*/ waits for OCIBreak.
    s.folder = std::make_unique<TempFolder>();
    if (!QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), s.folder->file("libclntsh.so")))
        return Outcome::Fail("cannot copy the OCI stand-in");
    s.folder->write("libociei.so", QByteArray());
    const LocalClientSetup setup = PrepareOracleClient(S(s.folder->path()));
    s.oracleLink = std::make_unique<db::DriverLink>("Ora", "Oracle", db::OracleLibraryFiles());
    s.oracleLink->VendorLib = setup.libraryPath;
    s.tested = std::make_unique<db::Connection>(db::DriverLinks{nullptr, s.oracleLink.get()});
    ConnectionDefinition def;
    def.setDriverID("Ora");
    def.set("DriverID", "Ora");
    def.set("User_Name", "BRIVEL");
    def.set("Password", "tiger");
    def.set("Database", OracleDescriptor("dbhost", "1521", "XEPDB1"));
    if (auto o = Start(s, def, tbOracle, false); !o)
        return o;
    try {
        s.tested->execSQL("CREATE TABLE T (ID NUMBER)");
    } catch (const std::exception& e) {
        return Outcome::Fail(QString::fromUtf8(e.what()));
    }
    s.held = "INSERT /*ESPERA*/ INTO T VALUES (1)";
    return {};
}

void AddKinds()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"postgresql", "mysql", "firebird", "sqlserver", "sqlite", "oracle"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

} // namespace

class CancelTest : public QObject {
    Q_OBJECT

private slots:
    void boundCancelsHeldStatement_data() { AddKinds(); }
    void boundCancelsHeldStatement()
    {
        QFETCH(QString, kind);
        Scenario s;
        BRIVEL_REQUIRE(Prepare(kind, s));
        s.tested->setAnswerBound(1s);

        QCOMPARE(ErrorOf([&] { s.tested->execSQL(s.held); }),
                 QString("O servidor não respondeu em 1 segundo; o comando foi cancelado."));
        // Cancelled by the library, not by cutting the connection: it goes on working.
        QVERIFY(s.tested->connected());
        BRIVEL_OK(s.tested->rollback());
        long long found = -1;
        BRIVEL_OK(found = s.tested->queryInt(s.existence, "TABELA", s.table, "QTD"));
        QCOMPARE(found, 1LL);
        // The bound is no cancel request: the next statement runs.
        QVERIFY(!s.tested->cancelRequested());
    }

    void userCancelStopsHeldStatementAndLaterWork_data() { AddKinds(); }
    void userCancelStopsHeldStatementAndLaterWork()
    {
        QFETCH(QString, kind);
        Scenario s;
        BRIVEL_REQUIRE(Prepare(kind, s));

        QString error;
        std::thread worker([&] { error = ErrorOf([&] { s.tested->execSQL(s.held); }); });
        QTRY_VERIFY_WITH_TIMEOUT(s.tested->operationRunning(), 30000);
        s.tested->cancel();  // from this thread, while the worker waits for the lock
        worker.join();
        QCOMPARE(error, QString("Operação cancelada pelo usuário."));

        // Later work is refused until the cancel is cleared; the undo still runs.
        QCOMPARE(ErrorOf([&] { s.tested->queryInt(s.existence, "TABELA", s.table, "QTD"); }),
                 QString("Operação cancelada pelo usuário."));
        BRIVEL_OK(s.tested->rollback());
        QVERIFY(!s.tested->inTransaction());
        s.tested->clearCancel();
        long long found = -1;
        BRIVEL_OK(found = s.tested->queryInt(s.existence, "TABELA", s.table, "QTD"));
        QCOMPARE(found, 1LL);
    }

    // A connect waiting for a server that took the connection and never answers
    // ends once cancelled, well before the connect bound (10 s), where the library
    // lets a connect stop part-way.
    void cancelEndsAConnectThatWaits_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("postgresql") << "postgresql";
        QTest::newRow("mysql") << "mysql";
    }
    void cancelEndsAConnectThatWaits()
    {
        QFETCH(QString, kind);
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        ConnectionDefinition def;
        if (kind == "postgresql") {
            PgServer s;
            BRIVEL_REQUIRE(ReadPgServer(s));
            s.port = QString::number(silent.port());
            def = PgDefinition(s, s.database);
        } else {
            MariaDbServer m;
            BRIVEL_REQUIRE(ReadMariaDbServer(m));
            m.port = QString::number(silent.port());
            def = MariaDbDefinition(m, QStringLiteral("brivel"));
        }
        db::Connection c;
        Define(c, def);
        QString error;
        std::chrono::steady_clock::time_point ended;
        std::thread worker([&] {
            error = ErrorOf([&] { c.open(); });
            ended = std::chrono::steady_clock::now();
        });
        std::this_thread::sleep_for(500ms);  // the connect now waits for the greeting
        const auto cancelled = std::chrono::steady_clock::now();
        c.cancel();
        worker.join();
        QCOMPARE(error, QString("Operação cancelada pelo usuário."));
        QVERIFY(!c.connected());
        const long long cancelToEnd =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - cancelled).count();
        qInfo("%s: the connect ended %lld ms after the cancel", qPrintable(kind), cancelToEnd);
        QVERIFY2(cancelToEnd >= 0 && cancelToEnd < 5000, "the connect waited for its bound");

        // The cancel stays until cleared, as for statements; then the next connect runs.
        QCOMPARE(ErrorOf([&] { c.open(); }), QString("Operação cancelada pelo usuário."));
        c.clearCancel();
    }

    void noAnswerMessageNamesTheBound()
    {
        QCOMPARE(QString::fromStdString(db::NoAnswerMessage(db::kServerAnswerBound)),
                 QString("O servidor não respondeu em 60 segundos; o comando foi cancelado."));
        QCOMPARE(QString::fromStdString(db::NoAnswerMessage(1500ms)),
                 QString("O servidor não respondeu em 2 segundos; o comando foi cancelado."));
    }
};

QTEST_GUILESS_MAIN(CancelTest)
#include "tst_cancel.moc"
