// setupbriveldb-cli instalar and verificar, run as a process on real databases.
#include "CliProcess.h"

#include "core/SchemaScript.h"
#include "support/DatabaseTarget.h"
#include "support/PartialStructure.h"
#include "support/SessionHolder.h"
#include "support/TestServers.h"

#include <QJsonArray>
#include <QProcess>
#include <QtTest>

#include <signal.h>

using namespace brivel;
using namespace brivel::test;

namespace {

QString Name(int kind) { return QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind))); }

using Setup = CliTarget;

QStringList Strings(const QJsonValue& v)
{
    QStringList out;
    for (const QJsonValue& e : v.toArray())
        out << e.toString();
    return out;
}

} // namespace

class CliInstallTest : public QObject {
    Q_OBJECT
private slots:
    void installThenAlreadyInstalledAndVerify_data() { AddDatabaseKinds(); }
    void installThenAlreadyInstalledAndVerify()
    {
        QFETCH(int, kind);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));

        CliRun r = s.run("verificar");
        QCOMPARE(r.code, 3);
        QVERIFY(r.messages().contains(QStringLiteral("Estrutura do Brivel: não instalada.")));

        r = s.run("instalar");
        QVERIFY2(r.code == 0, r.err.constData());
        QStringList expected{"Banco selecionado: " + Name(kind), "Verificando estrutura existente...",
                             "Criando estrutura do Brivel..."};
        for (int i = 0; i < 13; ++i)
            expected << "Executando comando...";
        expected << "Estrutura criada com sucesso." << "Conexão encerrada.";
        QStringList log = r.messages();
        if (kind == tbPostgreSQL)
            QVERIFY(log.takeFirst().startsWith(QStringLiteral("PostgreSQL libpq carregada de: ")));
        QCOMPARE(log, expected);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(s.t.brivelTables(), AllBrivelTables());
        QCOMPARE(s.t.scalar("SELECT ULTIMO_ID FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_CONFIG';"),
                 QStringLiteral("1"));

        // Again: nothing executed, exit 0 for automation, and the JSON says so.
        r = s.run("instalar", {"--json"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.messages().contains(QStringLiteral("A estrutura aparenta já estar instalada.")));
        QVERIFY(!r.messages().contains(QStringLiteral("Executando comando...")));
        const QJsonObject j = r.json();
        QCOMPARE(j["resultado"].toString(), QStringLiteral("ja_instalada"));
        QCOMPARE(j["codigo_saida"].toInt(), 0);
        QCOMPARE(j["tipo"].toString(), QString::fromUtf8(ConfigName(static_cast<TTipoBanco>(kind))));
        QVERIFY(j["erro"].isNull());

        r = s.run("verificar", {"--json", "--silencioso"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(r.json()["resultado"].toString(), QStringLiteral("instalada"));

        // A table gone: partial, named, and instalar refuses to touch it.
        BRIVEL_REQUIRE(s.t.sql("DROP TABLE API_LOG_CHAMADAS;"));
        r = s.run("verificar", {"--json"});
        QCOMPARE(r.code, 4);
        QCOMPARE(r.json()["resultado"].toString(), QStringLiteral("parcial"));
        QCOMPARE(Strings(r.json()["tabelas_ausentes"]), QStringList{"API_LOG_CHAMADAS"});
        QVERIFY(r.messages().contains(QStringLiteral("Tabela API_LOG_CHAMADAS: não existe.")));
        r = s.run("instalar", {"--json"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.json()["resultado"].toString(), QStringLiteral("incompleta"));
        QVERIFY(r.errText().contains(QStringLiteral("Tabelas ausentes: API_LOG_CHAMADAS.")));
        QCOMPARE(s.t.brivelTables().size(), 5);

        // All six tables but a missing seed row: partial too.
        BRIVEL_REQUIRE(s.t.sql("CREATE TABLE API_LOG_CHAMADAS (X INTEGER);"));
        BRIVEL_REQUIRE(s.t.sql("DELETE FROM API_CONFIG;"));
        r = s.run("verificar", {"--json"});
        QCOMPARE(r.code, 4);
        QVERIFY(r.json()["tabelas_ausentes"].toArray().isEmpty());
        QCOMPARE(r.json()["registros_iniciais"].toObject()["API_CONFIG"].toBool(), false);
    }

    void failureMidwayLeavesNothingOfTheRun_data() { AddDatabaseKinds(); }
    void failureMidwayLeavesNothingOfTheRun()
    {
        QFETCH(int, kind);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        // An object of the user's takes a name a CREATE TABLE of the script needs.
        int failing = 0;
        BRIVEL_REQUIRE(BlockScriptCreation(s.t, failing));

        const CliRun r = s.run("instalar", {"--json"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.messages().count(QStringLiteral("Executando comando...")), failing);
        QVERIFY(r.errText().contains(QStringLiteral("\nErro ao criar estrutura:\n\n")));
        const QJsonObject j = r.json();
        QCOMPARE(j["resultado"].toString(), QStringLiteral("falha"));
        QCOMPARE(j["desfeito"].toBool(), true);
        QVERIFY(j["tabelas_restantes"].toArray().isEmpty());
        QVERIFY(j["erro"].toString().startsWith(QStringLiteral("Erro ao criar estrutura:\r\n\r\n")));
        if (kind == tbMySQL)
            QCOMPARE(Strings(j["tabelas_removidas"]), (QStringList{"API_ROTAS", "API_CONFIG"}));
        if (kind == tbFirebird)
            QCOMPARE(Strings(j["tabelas_removidas"]), (QStringList{"API_ROTA_PARAMETROS", "API_ROTAS", "API_CONFIG"}));
        QCOMPARE(s.t.brivelTables(), QStringList{});
    }

    void ctrlCStopsTheStatementRunningAndUndoesTheRun_data() { AddDatabaseKinds(); }
    void ctrlCStopsTheStatementRunningAndUndoesTheRun()
    {
        QFETCH(int, kind);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        SessionHolder holder;  // the first CREATE TABLE waits for it
        BRIVEL_REQUIRE(holder.take(s.t));

        QProcess cli;
        cli.setProcessEnvironment(s.env);
        cli.setStandardInputFile(QProcess::nullDevice());
        cli.start(s.cli.path(), QStringList{"instalar"} + s.args + QStringList{"--json"});
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += cli.readAllStandardError()).contains("Executando comando..."), 30000);
        QTest::qWait(500);  // the statement has reached the server and waits there
        ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        // Stopped while the other session still holds on.
        QVERIFY(cli.waitForFinished(30000));
        CliRun r;
        r.code = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        r.out = cli.readAllStandardOutput();
        r.err = err + cli.readAllStandardError();
        holder.release();

        QCOMPARE(r.code, 1);
        QCOMPARE(r.messages().count(QStringLiteral("Executando comando...")), 1);
        const QJsonObject j = r.json();
        QCOMPARE(j["resultado"].toString(), QStringLiteral("falha"));
        QVERIFY2(j["erro"].toString().startsWith(QStringLiteral("Erro ao criar estrutura:\r\n\r\nInstalação cancelada.")),
                 r.err.constData());
        QCOMPARE(j["desfeito"].toBool(), true);
        QCOMPARE(s.t.brivelTables(), QStringList{});
    }

    void sqlServerThroughTheOdbcStandIn()
    {
        QString odbc;
        BRIVEL_REQUIRE(ReadOdbcSysIni(odbc));
        Setup s;
        BRIVEL_REQUIRE(s.prepare(tbPostgreSQL));
        s.env.insert(QStringLiteral("ODBCSYSINI"), odbc);
        s.env.insert(QStringLiteral("ODBCINSTINI"), QStringLiteral("odbcinst.ini"));
        s.args[1] = QStringLiteral("SQL Server");

        // The SQL Server dialect fails on PostgreSQL at its first statement; the rollback undoes it.
        CliRun r = s.run("instalar");
        QCOMPARE(r.code, 1);
        QVERIFY(r.messages().contains(QStringLiteral("Banco selecionado: SQL Server")));
        QCOMPARE(r.messages().count(QStringLiteral("Executando comando...")), 1);
        QCOMPARE(s.t.brivelTables(), QStringList());

        // The structure there (lower case, as PostgreSQL folds the names): its tables,
        // columns and seed rows found through the SQL Server queries.
        BRIVEL_REQUIRE(s.t.sql(QString::fromStdString(ScriptFor(tbPostgreSQL))));
        r = s.run("instalar");
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.messages().contains(QStringLiteral("A estrutura aparenta já estar instalada.")));
        BRIVEL_REQUIRE(s.t.sql("DELETE FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_USUARIOS';"));
        r = s.run("verificar", {"--json"});
        QCOMPARE(r.code, 4);
        QCOMPARE(Strings(r.json()["registros_ausentes"]),
                 QStringList{"API_SEQUENCIAIS (NOME_TABELA = 'API_USUARIOS')"});
        r = s.run("instalar", {"--completar", "--json"});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(Strings(r.json()["registros_inseridos"]),
                 QStringList{"API_SEQUENCIAIS (NOME_TABELA = 'API_USUARIOS')"});
        QCOMPARE(s.run("verificar").code, 0);
    }

    // A failed connection: the library's text, then the line naming the likely cause.
    void failureNamesItsLikelyCause_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("ownText");
        QTest::addColumn<QString>("hint");
        const QString login = QStringLiteral("Causa provável: usuário ou senha incorretos.");
        QTest::newRow("PostgreSQL password") << int(tbPostgreSQL) << "password"
                                             << "password authentication failed" << login;
        QTest::newRow("MariaDB password") << int(tbMySQL) << "password" << "Access denied for user" << login;
        QTest::newRow("Firebird password") << int(tbFirebird) << "password" << "password are not defined" << login;
        QTest::newRow("PostgreSQL port") << int(tbPostgreSQL) << "port" << "Connection refused"
                                         << "Causa provável: nenhum servidor aceita conexões em 127.0.0.1:%1.";
        QTest::newRow("SQLite folder") << int(tbSQLite) << "folder" << "unable to open database file"
                                       << "Causa provável: o banco ou arquivo informado não existe.";
    }
    void failureNamesItsLikelyCause()
    {
        QFETCH(int, kind);
        QFETCH(QString, what);
        QFETCH(QString, ownText);
        QFETCH(QString, hint);
        Setup s;
        BRIVEL_REQUIRE(s.prepare(kind));
        if (what == "password") {
            s.env.insert(QStringLiteral("BRIVEL_SENHA"), QStringLiteral("Errada42"));
        } else if (what == "port") {
            const QString port = QString::number(FreePort());
            s.args = ConnectionArgs(kind, s.t.login.server, port, s.t.login.database, s.t.login.user);
            hint = hint.arg(port);
        } else {
            s.args = ConnectionArgs(kind, {}, {}, s.folder.file("nao_existe/brivel.db"), {});
        }
        const CliRun r = s.run("verificar");
        QCOMPARE(r.code, 1);
        const QString err = r.errText();
        const qsizetype own = err.indexOf(ownText);
        QVERIFY2(own >= 0, qPrintable(err));
        QVERIFY2(err.indexOf(hint) > own, qPrintable(err));
    }

    void oracleThroughTheOciStandIn()
    {
        TempFolder folder;
        Cli cli(folder);
        QVERIFY(QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), folder.file("libclntsh.so")));
        folder.write("libociei.so", "data");
        folder.write("fakeoci-recusa.txt", "UPDATE\n");
        QProcessEnvironment env = Cli::CleanEnvironment();
        env.insert(QStringLiteral("BRIVEL_SENHA"), QStringLiteral("tiger"));
        // The stand-in refuses UPDATE: the run fails at its last statement, after six
        // CREATE TABLEs that Oracle commits by itself, and removes them again.
        const CliRun r = cli.run({"instalar", "--tipo", "oracle", "--servidor", "db", "--banco", "XE", "--usuario",
                                  "APIUSR", "--json"},
                                 env);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.messages().count(QStringLiteral("Executando comando...")), 13);
        const QJsonObject j = r.json();
        QVERIFY2(j["erro"].toString().contains(QStringLiteral("ORA-00900")), r.out.constData());
        QCOMPARE(Strings(j["tabelas_removidas"]),
                 (QStringList{"API_SEQUENCIAIS", "API_LOG_CHAMADAS", "API_USUARIOS", "API_ROTA_PARAMETROS", "API_ROTAS",
                              "API_CONFIG"}));
        QCOMPARE(j["desfeito"].toBool(), true);
    }
};

QTEST_GUILESS_MAIN(CliInstallTest)
#include "test_cli_install.moc"
