// Every diagnostic record of a failure reaches the message: FreeTDS, registered
// as a SQL Server driver and pointed at a server that does not speak TDS, leaves
// several distinct records. Its own process, since unixODBC reads the driver
// list once per process.
#include "core/Error.h"
#include "db/AdapterFactories.h"
#include "support/TempFolder.h"
#include "support/TestServers.h"
#include "support/OdbcDriverLists.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

#ifndef BRIVEL_FREETDS_DRIVER
#error "BRIVEL_FREETDS_DRIVER: the FreeTDS ODBC driver file"
#endif

class SqlServerFreeTdsTest : public QObject {
    Q_OBJECT

private slots:
    void messageHoldsEveryDiagnosticRecord()
    {
        PgServer server;
        BRIVEL_REQUIRE(ReadPgServer(server));
        TempFolder folder;
        BRIVEL_REQUIRE(UseOwnDriverList(folder, {{"ODBC Driver 17 for SQL Server", BRIVEL_FREETDS_DRIVER}}));

        auto adapter = db::CreateSqlServerAdapter();
        QString message;
        try {
            adapter->open(SqlServerDefinition(server, server.database));
        } catch (const Error& e) {
            message = QString::fromUtf8(e.what());
        }
        QVERIFY(!adapter->isOpen());
        for (const char* record : {"[08001] [FreeTDS][SQL Server]Unable to connect to data source",
                                   "[01000] [FreeTDS][SQL Server]Unexpected EOF from the server",
                                   "[01000] [FreeTDS][SQL Server]Adaptive Server connection failed"})
            QVERIFY2(message.contains(record), qPrintable(message));
        QVERIFY2(!message.contains(server.password), "the password leaked into the message");
    }
};

QTEST_GUILESS_MAIN(SqlServerFreeTdsTest)
#include "test_sqlserver_freetds.moc"
