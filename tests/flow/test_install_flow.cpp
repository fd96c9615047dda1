// The installation flow on SQLite files (and a PostgreSQL server that never answers):
// what it finds, what it runs, what it leaves.
#include "support/DbFixtures.h"

#include "core/SchemaScript.h"
#include "core/ScriptStructure.h"
#include "db/ConnectionSetup.h"
#include "core/ConnectionFields.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
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
    // What the database holds before the run and what the flow makes of it.
    void existingTables_data()
    {
        QTest::addColumn<QString>("before");  // SQL run first
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("missing");
        const int installed = int(InstallOutcome::Installed), already = int(InstallOutcome::AlreadyInstalled),
                  incomplete = int(InstallOutcome::Incomplete), failed = int(InstallOutcome::Failed);
        const QString script = QString::fromStdString(ScriptFor(tbSQLite)) + ";";
        auto tables = [](const QStringList& names, bool lower = false) {
            const ScriptStructure st = StructureFor(tbSQLite);
            QString sql;
            for (const QString& n : names) {
                QString create = QString::fromStdString(st.table(n.toStdString())->statement);
                if (lower)
                    create.replace(n, n.toLower());
                sql += create + ";";
            }
            return sql;
        };
        QTest::newRow("empty") << "" << installed << "";
        QTest::newRow("complete") << script << already << "";
        QTest::newRow("complete, lower-case table names")
            << QString(script).replace("CREATE TABLE API_", "CREATE TABLE api_") << already << "";
        QTest::newRow("API_CONFIG alone")
            << tables({"API_CONFIG"}) << incomplete
            << "API_ROTAS,API_ROTA_PARAMETROS,API_USUARIOS,API_LOG_CHAMADAS,API_SEQUENCIAIS";
        QTest::newRow("a run cut after two tables")
            << tables({"API_CONFIG", "API_ROTAS"}) << incomplete
            << "API_ROTA_PARAMETROS,API_USUARIOS,API_LOG_CHAMADAS,API_SEQUENCIAIS";
        QTest::newRow("only the last one missing")
            << tables({"API_CONFIG", "API_ROTAS", "API_ROTA_PARAMETROS", "API_USUARIOS", "API_LOG_CHAMADAS"})
            << incomplete << "API_SEQUENCIAIS";
        QTest::newRow("lower-case names, one missing")
            << tables({"API_CONFIG", "API_ROTAS", "API_ROTA_PARAMETROS", "API_USUARIOS", "API_SEQUENCIAIS"}, true)
            << incomplete << "API_LOG_CHAMADAS";
        QTest::newRow("someone else's API_USUARIOS, no API_CONFIG")
            << "CREATE TABLE API_USUARIOS (X INTEGER);" << incomplete
            << "API_CONFIG,API_ROTAS,API_ROTA_PARAMETROS,API_LOG_CHAMADAS,API_SEQUENCIAIS";
        // Not a table, so not found; the fourth statement fails on the name.
        QTest::newRow("an index named API_USUARIOS")
            << "CREATE TABLE OUTRA (X INTEGER); CREATE INDEX API_USUARIOS ON OUTRA (X);" << failed << "";
    }
    void existingTables()
    {
        QFETCH(QString, before);
        QFETCH(int, outcome);
        QFETCH(QString, missing);
        TempFolder tmp;
        const QString file = tmp.file("brivel.db");
        BRIVEL_REQUIRE(RunSqliteSql(file, before + "SELECT 1;"));
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
            QStringList expected;
            if (found.contains("API_CONFIG"))
                expected << "A tabela API_CONFIG já existe.";
            expected << "A estrutura do Brivel está incompleta neste banco."
                     << "Tabelas existentes: " + found.join(", ") + "."
                     << "Tabelas ausentes: " + Split(missing).join(", ") + ".";
            QCOMPARE(log.lines.mid(2, expected.size()), expected);
            const QString box = QString::fromStdString(IncompleteStructureText(r));
            QVERIFY(box.startsWith("A estrutura do Brivel está incompleta neste banco.\r\n\r\n"));
            QVERIFY(box.contains("Tabelas ausentes: " + Split(missing).join(", ") + "."));
            QVERIFY(r.created.empty());
            QCOMPARE(TablesIn(file), tablesBefore);  // nothing created, nothing dropped
            break;
        }
        default:
            QCOMPARE(int(r.outcome), int(InstallOutcome::Failed));
            QVERIFY(!r.error.empty());
            QVERIFY(r.leftBehind.empty());
            QCOMPARE(log.lines.count("Executando comando..."), 4);
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
        QCOMPARE(Q(st.seedsMissing), QStringList{"API_SEQUENCIAIS (NOME_TABELA = 'API_USUARIOS')"});
        BRIVEL_REQUIRE(RunSqliteSql(file, "DELETE FROM API_CONFIG; DROP TABLE API_LOG_CHAMADAS;"));
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(st.state(), StructureState::Partial);
        QCOMPARE(Q(st.missing), QStringList{"API_LOG_CHAMADAS"});
        QVERIFY(!st.configSeed);
        flow.close();
    }

    // The window's path: run() finds a partial structure, completeMissing() fills
    // it without logging the check's first lines again.
    void completeMissingAfterAPartialRun()
    {
        TempFolder tmp;
        const QString file = tmp.file("brivel.db");
        db::Connection c;
        DefineSqlite(c, file);
        Lines log;
        InstallFlow flow(c, tbSQLite, "SQLite", log);
        // Asked to complete an empty database, the flow installs as ever.
        QCOMPARE(int(flow.run(true).outcome), int(InstallOutcome::Installed));
        QVERIFY(log.lines.contains("Criando estrutura do Brivel..."));
        flow.close();
        BRIVEL_REQUIRE(RunSqliteSql(file, "DROP TABLE API_USUARIOS; DELETE FROM API_CONFIG;"));
        log.lines.clear();
        QCOMPARE(int(flow.run().outcome), int(InstallOutcome::Incomplete));
        const int shown = log.lines.size();
        InstallResult r;
        BRIVEL_OK(r = flow.completeMissing());
        flow.close();
        QCOMPARE(int(r.outcome), int(InstallOutcome::Completed));
        QCOMPARE(log.lines.mid(shown),
                 (QStringList{"Conferindo as colunas das tabelas existentes...", "Completando a estrutura do Brivel...",
                              "Tabela API_USUARIOS criada.", "Registro inicial inserido: API_CONFIG (ID_CONFIG = 1).",
                              "Estrutura completada com sucesso.", "Conexão encerrada."}));
        QCOMPARE(flow.inspect().state(), StructureState::Installed);
        flow.close();
    }

    // A cancel before the first statement: nothing of the completion stays.
    void cancelledCompletionIsUndone()
    {
        TempFolder tmp;
        const QString file = tmp.file("brivel.db");
        BRIVEL_REQUIRE(RunSqliteSql(file, QString::fromStdString(StructureFor(tbSQLite).tables[0].statement) + ";"));
        db::Connection c;
        DefineSqlite(c, file);
        Lines log;
        InstallFlow flow(c, tbSQLite, "SQLite", log);
        flow.requestCancel();
        const InstallResult r = flow.run(true);
        flow.close();
        QCOMPARE(int(r.outcome), int(InstallOutcome::Failed));
        QVERIFY(r.completing);
        QCOMPARE(QString::fromStdString(r.error), QStringLiteral("Instalação cancelada."));
        QCOMPARE(TablesIn(file), QStringList{"API_CONFIG"});
        QCOMPARE(log.lines.last(2), (QStringList{"Erro ao completar estrutura: Instalação cancelada.", "Conexão encerrada."}));
    }

    // Oracle through the OCI stand-in, whose DDL commits by itself: a run cut after
    // three tables that could not be removed, a completion failing midway, then one that works.
    void oracleCompletionThroughTheOciStandIn()
    {
        TempFolder folder;
        QVERIFY(QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), folder.file("libclntsh.so")));
        folder.write("libociei.so", QByteArray());
        folder.write("fakeoci-recusa.txt", "CREATE TABLE API_USUARIOS\nDROP\n");
        db::DriverLink link("Ora", "Oracle", db::OracleLibraryFiles());
        db::Connection c{db::DriverLinks{nullptr, &link}};
        db::SetUpConnection(c, FieldsOf(tbOracle, "db", "1521", "XE", "APIUSR", "tiger"), folder.path().toStdString());
        Lines log;
        InstallFlow flow(c, tbOracle, "Oracle", log);
        const QStringList firstThree{"API_CONFIG", "API_ROTAS", "API_ROTA_PARAMETROS"};

        InstallResult r;
        BRIVEL_OK(r = flow.run());
        QCOMPARE(int(r.outcome), int(InstallOutcome::Failed));
        QCOMPARE(Q(r.leftBehind), firstThree);

        folder.write("fakeoci-recusa.txt", "CREATE TABLE API_LOG_CHAMADAS\n");
        BRIVEL_OK(r = flow.run(true));
        QCOMPARE(int(r.outcome), int(InstallOutcome::Failed));
        QVERIFY(r.completing);
        QCOMPARE(Q(r.undone), QStringList{"API_USUARIOS"});
        QVERIFY(r.leftBehind.empty());
        StructureState st;
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(Q(st.found), firstThree);

        folder.write("fakeoci-recusa.txt", "");
        BRIVEL_OK(r = flow.run(true));
        QCOMPARE(int(r.outcome), int(InstallOutcome::Completed));
        QCOMPARE(Q(r.created), (QStringList{"API_USUARIOS", "API_LOG_CHAMADAS", "API_SEQUENCIAIS"}));
        QCOMPARE(r.inserted.size(), size_t(6));
        BRIVEL_OK(st = flow.inspect());
        QCOMPARE(st.state(), StructureState::Installed);
        flow.close();
    }
};

QTEST_GUILESS_MAIN(InstallFlowTest)
#include "test_install_flow.moc"
