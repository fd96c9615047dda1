// The driver search through the driver manager's own list: a driver listed
// later in odbcinst.ini, in other letter case, wins by the preference order.
// Its own process, since unixODBC reads the list once per process.
#include "core/Error.h"
#include "db/AdapterFactories.h"
#include "support/TempFolder.h"
#include "support/TestServers.h"
#include "support/OdbcDriverLists.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class SqlServerDriverOrderTest : public QObject {
    Q_OBJECT

private slots:
    void earlierInPreferenceWinsOverEarlierInList()
    {
        PgServer server;
        BRIVEL_REQUIRE(ReadPgServer(server));
        QString psqlodbc;
        BRIVEL_REQUIRE(ServersDriverFile(psqlodbc));
        TempFolder folder;
        // Picking either of the first two would fail to load.
        BRIVEL_REQUIRE(UseOwnDriverList(folder, {{"SQL Server", "/nonexistent/brivel/libold.so"},
                                                 {"ODBC Driver 17 for SQL Server", "/nonexistent/brivel/lib17.so"},
                                                 {"odbc driver 18 for SQL SERVER", psqlodbc}}));

        auto adapter = db::CreateSqlServerAdapter();
        try {
            adapter->open(SqlServerDefinition(server, server.database));
        } catch (const Error& e) {
            QFAIL(e.what());
        }
        QVERIFY(adapter->isOpen());
        QCOMPARE(adapter->queryInt("SELECT 3 AS qtd WHERE ? = 'x'", "x", "QTD"), 3LL);
        adapter->close();
    }
};

QTEST_GUILESS_MAIN(SqlServerDriverOrderTest)
#include "test_sqlserver_driver_order.moc"
