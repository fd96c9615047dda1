// The Oracle adapter over a stand-in for the Instant Client (tests/standins/oci):
// each test copies it into a folder of its own, as the executable's folder would
// hold it, and the adapter loads it through the Oracle driver link. What the
// adapter asked of OCI is read back from the stand-in's log.
#include "core/ConnectionDefinition.h"
#include "core/Error.h"
#include "core/InstallSteps.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "db/DriverLink.h"
#include "support/TempFolder.h"
#include "support/ErrorOf.h"

#include <QFile>
#include "db/oracle/OracleSql.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

#ifndef BRIVEL_FAKE_OCI
#error "BRIVEL_FAKE_OCI and BRIVEL_FAKE_OCI_NO_ROLLBACK: the stand-in libraries"
#endif

namespace {

// The installation's own existence query.
const std::string kExistenceQuery = ExistenceQuery(tbOracle);

using brivel::test::ErrorOf;

ConnectionDefinition OracleDefinition(const std::string& password, const std::string& host = "dbhost")
{
    ConnectionDefinition def;
    def.setDriverID("Ora");
    def.set("DriverID", "Ora");
    def.set("User_Name", "BRIVEL");
    def.set("Password", password);
    def.set("Database", OracleDescriptor(host, "1521", "XEPDB1"));
    def.set("CharacterSet", "UTF8");
    return def;
}

// An executable folder holding the stand-in as the Instant Client, and a
// connection whose Oracle link points at it.
class OracleFolder {
public:
    explicit OracleFolder(const char* library = BRIVEL_FAKE_OCI) : link_("Ora", "Oracle", db::OracleLibraryFiles())
    {
        QVERIFY(QFile::copy(QString::fromUtf8(library), folder_.file("libclntsh.so")));
        folder_.write("libociei.so", QByteArray());
        db::UseLocalClient(conn, tbOracle, folder_.path().toStdString());
        db::Define(conn, OracleDefinition("tiger"));
    }

    QStringList log() const
    {
        return QString::fromUtf8(folder_.read("fakeoci.log")).split('\n', Qt::SkipEmptyParts);
    }
    db::DriverLink& link() { return link_; }

private:
    TempFolder folder_;
    db::DriverLink link_;

public:
    db::Connection conn{db::DriverLinks{nullptr, &link_}};
};

} // namespace

class OracleAdapterTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithDescriptorAsRdbmsUserInUtf8()
    {
        OracleFolder ora;
        ora.conn.open();
        QVERIFY(ora.conn.connected());
        const QStringList log = ora.log();
        QCOMPARE(log.value(0), QString("ENV mode=0 charset=873 ncharset=873"));
        QCOMPARE(log.value(1),
                 QString("ATTACH (DESCRIPTION=(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)"
                         "(ADDRESS=(PROTOCOL=TCP)(HOST=dbhost)(PORT=1521))"
                         "(CONNECT_DATA=(SERVICE_NAME=XEPDB1)))"));
        QCOMPARE(log.value(2), QString("LOGON BRIVEL"));
    }

    void connectTimeoutIsAddedOnlyWhereMissing_data()
    {
        QTest::addColumn<QString>("descriptor");
        QTest::addColumn<QString>("attached");
        QTest::newRow("added") << "(DESCRIPTION=(ADDRESS=(HOST=h)))"
                               << "(DESCRIPTION=(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)(ADDRESS=(HOST=h)))";
        QTest::newRow("own timeout kept") << "(DESCRIPTION=(CONNECT_TIMEOUT=3)(ADDRESS=(HOST=h)))"
                                          << "(DESCRIPTION=(CONNECT_TIMEOUT=3)(ADDRESS=(HOST=h)))";
        QTest::newRow("not a descriptor") << "XEPDB1" << "XEPDB1";
        // Decided from the parsed descriptor: only the DESCRIPTION's own parameters count.
        QTest::newRow("the name as a value does not count")
            << "(DESCRIPTION=(ADDRESS=(HOST=CONNECT_TIMEOUT))(CONNECT_DATA=(SERVICE_NAME=X_CONNECT_TIMEOUT)))"
            << "(DESCRIPTION=(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)(ADDRESS=(HOST=CONNECT_TIMEOUT))"
               "(CONNECT_DATA=(SERVICE_NAME=X_CONNECT_TIMEOUT)))";
        QTest::newRow("a deeper parameter of that name is not the descriptor's")
            << "(DESCRIPTION=(ADDRESS=(HOST=h)(CONNECT_TIMEOUT=1)))"
            << "(DESCRIPTION=(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)(ADDRESS=(HOST=h)(CONNECT_TIMEOUT=1)))";
        QTest::newRow("a quoted value holding a parameter does not count")
            << "(DESCRIPTION=(ADDRESS=(HOST=h))(CONNECT_DATA=(SERVICE_NAME=\"x(CONNECT_TIMEOUT=1)\")))"
            << "(DESCRIPTION=(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)(ADDRESS=(HOST=h))"
               "(CONNECT_DATA=(SERVICE_NAME=\"x(CONNECT_TIMEOUT=1)\")))";
        QTest::newRow("own transport timeout kept, any case and blanks")
            << "( description = ( transport_connect_timeout = 5 )(ADDRESS=(HOST=h)))"
            << "( description = ( transport_connect_timeout = 5 )(ADDRESS=(HOST=h)))";
        QTest::newRow("added after the name's =, blanks and case aside")
            << "( Description =(ADDRESS=(HOST=h)) )"
            << "( Description =(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)(ADDRESS=(HOST=h)) )";
        QTest::newRow("malformed: attached as given") << "(DESCRIPTION=(ADDRESS=(HOST=h)" << "(DESCRIPTION=(ADDRESS=(HOST=h)";
    }

    void connectTimeoutIsAddedOnlyWhereMissing()
    {
        QFETCH(QString, descriptor);
        QFETCH(QString, attached);
        QCOMPARE(QString::fromStdString(brivel::db::WithConnectTimeout(descriptor.toStdString())), attached);
    }

    void statementsCommitThemselvesOnlyOutsideTransaction()
    {
        OracleFolder ora;
        ora.conn.open();
        ora.conn.execSQL("CREATE TABLE T1 (N NUMBER)");
        ora.conn.execSQL("INSERT INTO T1 VALUES (1)");
        ora.conn.startTransaction();
        QVERIFY(ora.conn.inTransaction());
        ora.conn.execSQL("INSERT INTO T1 VALUES (2)");
        ora.conn.commit();
        QVERIFY(!ora.conn.inTransaction());
        ora.conn.startTransaction();
        ora.conn.execSQL("INSERT INTO T1 VALUES (3)");
        ora.conn.rollback();
        QVERIFY(!ora.conn.inTransaction());
        QCOMPARE(ora.conn.queryInt("SELECT COUNT(*) QTD FROM T1", "TABELA", "", "QTD"), 2LL);

        QStringList calls;
        for (const auto& line : ora.log())
            if (line.startsWith("EXEC") || line == "COMMIT" || line == "ROLLBACK")
                calls << line;
        QCOMPARE(calls, (QStringList{"EXEC+COMMIT CREATE TABLE T1 (N NUMBER)", "EXEC+COMMIT INSERT INTO T1 VALUES (1)",
                                     "EXEC INSERT INTO T1 VALUES (2)", "COMMIT", "EXEC INSERT INTO T1 VALUES (3)",
                                     "ROLLBACK", "EXEC SELECT COUNT(*) QTD FROM T1"}));
    }

    void existenceQueryBindsTableNameAsText()
    {
        OracleFolder ora;
        ora.conn.open();
        QCOMPARE(ora.conn.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
        ora.conn.execSQL("CREATE TABLE API_CONFIG (ID NUMBER)");
        QCOMPARE(ora.conn.queryInt(kExistenceQuery, "TABELA", "api_config", "qtd"), 1LL);
        QVERIFY(ora.log().contains("BIND :TABELA=api_config"));
    }

    void statementErrorsCarryEveryOracleRecord_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing table") << "DROP TABLE NADA" << "ORA-00942: table or view does not exist";
        QTest::newRow("existing name") << "CREATE TABLE T2 (N NUMBER)"
                                       << "ORA-00955: name is already used by an existing object";
        QTest::newRow("not a statement") << "CREAT TABLE X (N NUMBER)" << "ORA-00900: invalid SQL statement";
        QTest::newRow("two records") << "/*ERRO_RECURSIVO*/ CREATE TABLE Y (N NUMBER)"
                                     << "ORA-00604: error occurred at recursive SQL level 1\n"
                                        "ORA-01653: unable to extend table SYS.OBJ$ by 8 in tablespace SYSTEM";
    }
    void statementErrorsCarryEveryOracleRecord()
    {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        OracleFolder ora;
        ora.conn.open();
        ora.conn.execSQL("CREATE TABLE T2 (N NUMBER)");
        QCOMPARE(ErrorOf([&] { ora.conn.execSQL(sql.toStdString()); }), message);
        // The failed statement was given back and the session goes on.
        ora.conn.execSQL("INSERT INTO T2 VALUES (1)");
        ora.conn.close();
        QCOMPARE(ora.log().last(), QString("FREE ENV live=0"));
    }

    void closeRollsBackThenReleasesInOrder()
    {
        OracleFolder ora;
        ora.conn.open();
        ora.conn.execSQL("CREATE TABLE T3 (N NUMBER)");
        ora.conn.startTransaction();
        ora.conn.execSQL("INSERT INTO T3 VALUES (1)");
        QCOMPARE(ora.conn.queryInt("SELECT COUNT(*) AS QTD FROM T3", "TABELA", "", "QTD"), 1LL);
        ora.conn.close();
        QVERIFY(!ora.conn.connected());
        // Handle types: 9 session, 3 service context, 8 server, 2 error (the cancel's own, then the calls').
        QCOMPARE(ora.log().mid(ora.log().size() - 9),
                 (QStringList{"ROLLBACK", "LOGOFF", "DETACH", "FREE 2", "FREE 9", "FREE 3", "FREE 8", "FREE 2",
                              "FREE ENV live=0"}));
        // The next open starts afresh on the same library.
        ora.conn.open();
        QCOMPARE(ora.conn.queryInt("SELECT COUNT(*) QTD FROM T3", "TABELA", "", "QTD"), 0LL);
    }

    void openFailuresCarryOracleTextAndReleaseEverything_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << "dbhost" << "ORA-01017: invalid username/password; logon denied";
        QTest::newRow("unknown host")
            << "nowhere" << "ORA-12545: Connect failed because target host or object does not exist";
    }
    void openFailuresCarryOracleTextAndReleaseEverything()
    {
        QFETCH(QString, host);
        QFETCH(QString, message);
        OracleFolder ora;
        // The adapter itself, not the connection that would mask a leak of the password.
        auto adapter = db::CreateOracleAdapter(ora.link().library(), ora.link().VendorHome);
        const QString error =
            ErrorOf([&] { adapter->open(OracleDefinition("S3nhaErrada}x", host.toStdString())); });
        QVERIFY2(error.endsWith(message), qPrintable(error));
        QVERIFY2(!error.contains("S3nha"), qPrintable(error));
        QVERIFY(!adapter->isOpen());
        const QStringList log = ora.log();
        QCOMPARE(log.last(), QString("FREE ENV live=0"));
        QVERIFY(log.filter("STILL").isEmpty());
    }

    void missingFunctionIsNamedWithTheLibrary()
    {
        OracleFolder ora(BRIVEL_FAKE_OCI_NO_ROLLBACK);
        const QString error = ErrorOf([&] { ora.conn.open(); });
        QVERIFY2(error.contains("OCITransRollback"), qPrintable(error));
        QVERIFY2(error.contains(QString::fromStdString(ora.link().VendorLib)), qPrintable(error));
        QVERIFY(!ora.conn.connected());
    }
};

QTEST_GUILESS_MAIN(OracleAdapterTest)
#include "test_oracle_adapter.moc"
