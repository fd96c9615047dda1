// The installation flow on SQLite files (and a PostgreSQL server that never answers):
// what it finds, what it runs, what it leaves.
#include "DbFixtures.h"

#include "core/SchemaScript.h"
#include "db/Connection.h"
#include "flow/InstallFlow.h"
#include "support/TempFolder.h"

#include <QtTest>

#include <thread>

using namespace brivel;
using namespace brivel::test;

namespace {

struct Lines : InstallLog {
    QStringList lines;
    void line(const std::string& msg) override { lines << QString::fromStdString(msg); }
};

QStringList Q(const std::vector<std::string>& v)
{
    QStringList out;
    for (const auto& s : v)
        out << QString::fromStdString(s);
    return out;
}

QStringList Split(const QString& csv) { return csv.isEmpty() ? QStringList() : csv.split(QLatin1Char(',')); }

QStringList TablesIn(const QString& file)
{
    QString out;
    if (!RunSqliteSql(file, QStringLiteral("SELECT upper(name) FROM sqlite_master WHERE type = 'table' ORDER BY 1;"),
                      &out))
        return {QStringLiteral("<query failed>")};
    return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
}

const QStringList kAll{"API_CONFIG",   "API_ROTAS",        "API_ROTA_PARAMETROS",
                       "API_USUARIOS", "API_LOG_CHAMADAS", "API_SEQUENCIAIS"};

} // namespace

class InstallFlowTest : public QObject {
    Q_OBJECT
private slots:
    // Tables present before the run (comma-separated) and what the flow makes of them.
    void existingTables_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("missing");
        const int installed = int(InstallOutcome::Installed), already = int(InstallOutcome::AlreadyInstalled),
                  incomplete = int(InstallOutcome::Incomplete), failed = int(InstallOutcome::Failed);
        QTest::newRow("empty") << "" << installed << "";
        QTest::newRow("complete") << kAll.join(',') << already << "";
        QTest::newRow("complete, lower case") << kAll.join(',').toLower() << already << "";
        QTest::newRow("API_CONFIG alone")
            << "API_CONFIG" << incomplete << "API_ROTAS,API_ROTA_PARAMETROS,API_USUARIOS,API_LOG_CHAMADAS,API_SEQUENCIAIS";
        QTest::newRow("a run cut after two tables")
            << "API_CONFIG,API_ROTAS" << incomplete << "API_ROTA_PARAMETROS,API_USUARIOS,API_LOG_CHAMADAS,API_SEQUENCIAIS";
        QTest::newRow("only the last one missing")
            << "API_CONFIG,API_ROTAS,API_ROTA_PARAMETROS,API_USUARIOS,API_LOG_CHAMADAS" << incomplete
            << "API_SEQUENCIAIS";
        QTest::newRow("lower-case api_config, upper-case rest missing one")
            << "api_config,API_ROTAS,api_rota_parametros,API_USUARIOS,API_SEQUENCIAIS" << incomplete
            << "API_LOG_CHAMADAS";
        // Without API_CONFIG the whole script runs and stops at the existing table.
        QTest::newRow("user's API_USUARIOS, no API_CONFIG") << "API_USUARIOS" << failed << "";
    }
    void existingTables()
    {
        QFETCH(QString, before);
        QFETCH(int, outcome);
        QFETCH(QString, missing);
        TempFolder tmp;
        const QString file = tmp.file("brivel.db");
        QString create;
        for (const QString& t : Split(before))
            create += QStringLiteral("CREATE TABLE %1 (X INTEGER);").arg(t);
        BRIVEL_REQUIRE(RunSqliteSql(file, create + "SELECT 1;"));
        const QStringList tablesBefore = TablesIn(file);

        db::Connection c;
        DefineSqlite(c, file);
        Lines log;
        InstallFlow flow(c, tbSQLite, "SQLite", log);
        InstallResult r;
        BRIVEL_OK(r = flow.run());
        QCOMPARE(int(r.outcome), outcome);
        QVERIFY(c.connected());  // the caller closes, after showing the result
        flow.close();
        QVERIFY(!c.connected());
        QCOMPARE(log.lines.last(), QStringLiteral("Conexão encerrada."));
        QCOMPARE(log.lines.mid(0, 2), (QStringList{"Banco selecionado: SQLite", "Verificando estrutura existente..."}));

        switch (InstallOutcome(outcome)) {
        case InstallOutcome::Installed:
            QCOMPARE(TablesIn(file), [] { QStringList s = kAll; s.sort(); return s; }());
            QCOMPARE(Q(r.created), kAll);
            break;
        case InstallOutcome::AlreadyInstalled:
            QCOMPARE(Q(r.found), kAll);
            QVERIFY(r.missing.empty());
            QCOMPARE(log.lines.mid(2),
                     (QStringList{"A tabela API_CONFIG já existe.", "A estrutura aparenta já estar instalada.",
                                  "Conexão encerrada."}));
            break;
        case InstallOutcome::Incomplete: {
            QCOMPARE(Q(r.missing), Split(missing));
            QStringList found = kAll;
            for (const QString& m : Split(missing))
                found.removeAll(m);
            QCOMPARE(Q(r.found), found);
            QCOMPARE(log.lines.mid(2),
                     (QStringList{"A tabela API_CONFIG já existe.", "A estrutura do Brivel está incompleta neste banco.",
                                  "Tabelas existentes: " + found.join(", ") + ".",
                                  "Tabelas ausentes: " + Split(missing).join(", ") + ".", "Conexão encerrada."}));
            const QString box = QString::fromStdString(IncompleteStructureText(r));
            QVERIFY(box.startsWith("A estrutura do Brivel está incompleta neste banco.\r\n\r\n"));
            QVERIFY(box.contains("Tabelas ausentes: " + Split(missing).join(", ") + "."));
            QVERIFY(r.created.empty());
            QCOMPARE(TablesIn(file), tablesBefore);  // nothing created, nothing dropped
            break;
        }
        case InstallOutcome::Failed:
            QVERIFY(!r.error.empty());
            QVERIFY(r.leftBehind.empty());
            QCOMPARE(TablesIn(file), tablesBefore);  // the rollback took the run's tables with it
            QVERIFY(log.lines.contains("Erro ao criar estrutura: " + QString::fromStdString(r.error)));
            QVERIFY(!QString::fromStdString(InstallFailureText(r)).contains("permaneceram"));
            break;
        }
    }

    void cancelledRunIsUndone()
    {
        TempFolder tmp;
        db::Connection c;
        DefineSqlite(c, tmp.file("brivel.db"));
        Lines log;
        InstallFlow flow(c, tbSQLite, "SQLite", log);
        flow.requestCancel();
        const InstallResult r = flow.run();
        flow.close();
        QCOMPARE(int(r.outcome), int(InstallOutcome::Failed));
        QCOMPARE(QString::fromStdString(r.error), QStringLiteral("Instalação cancelada."));
        QVERIFY(!log.lines.contains("Executando comando..."));
        QCOMPARE(TablesIn(tmp.file("brivel.db")), QStringList());
    }

    // Cancelled while the run still connects (a server that never answers): the
    // run reports the cancel, as one during the script, not the connect's failure.
    void cancelWhileConnectingReadsAsCancelled()
    {
        PgServer s;
        BRIVEL_REQUIRE(ReadPgServer(s));
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        s.port = QString::number(silent.port());
        db::Connection c;
        DefinePg(c, s, s.database, s.password);
        Lines log;
        InstallFlow flow(c, tbPostgreSQL, "PostgreSQL", log);
        InstallResult r;
        QString escaped;
        std::thread worker([&] { escaped = ErrorOf([&] { r = flow.run(); }); });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        flow.cancel();
        worker.join();
        QVERIFY2(escaped.isNull(), qPrintable(escaped));
        QCOMPARE(int(r.outcome), int(InstallOutcome::Failed));
        QCOMPARE(QString::fromStdString(r.error), QStringLiteral("Instalação cancelada."));
        QCOMPARE(log.lines, QStringList{"Erro ao criar estrutura: Instalação cancelada."});
        QVERIFY(!c.connected());
    }

    void inspectTellsTheThreeStates()
    {
        TempFolder tmp;
        const QString file = tmp.file("brivel.db");
        db::Connection c;
        DefineSqlite(c, file);
        Lines log;
        InstallFlow flow(c, tbSQLite, "SQLite", log);
        StructureState st;
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(st.state(), StructureState::NotInstalled);
        QCOMPARE(Q(st.missing), kAll);
        QCOMPARE(int(flow.run().outcome), int(InstallOutcome::Installed));
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(st.state(), StructureState::Installed);
        QVERIFY(st.configSeed && st.sequenceSeeds);
        flow.close();

        // A missing seed row, then a missing table: partial either way.
        BRIVEL_REQUIRE(RunSqliteSql(file, "DELETE FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_USUARIOS';"));
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(st.state(), StructureState::Partial);
        QVERIFY(st.configSeed && !st.sequenceSeeds);
        BRIVEL_REQUIRE(RunSqliteSql(file, "DELETE FROM API_CONFIG; DROP TABLE API_LOG_CHAMADAS;"));
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(st.state(), StructureState::Partial);
        QCOMPARE(Q(st.missing), QStringList{"API_LOG_CHAMADAS"});
        QVERIFY(!st.configSeed);
        flow.close();
    }
};

QTEST_GUILESS_MAIN(InstallFlowTest)
#include "test_install_flow.moc"
