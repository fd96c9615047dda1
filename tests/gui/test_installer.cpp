// "Criar Estrutura" through the real window on real servers and SQLite files.
#include "core/SchemaScript.h"
#include "support/DatabaseTarget.h"
#include "support/ModalBoxes.h"
#include "support/PartialStructure.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"

#include <QProcess>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

const QString kAdvice = QStringLiteral("\r\n\r\nVocê pode copiar ou salvar o script e executar manualmente no banco.");
const QString kQuestion = QStringLiteral("\r\n\r\nDeseja completar a instalação criando apenas o que falta? Nada do que "
                                         "existe será alterado ou removido.");

} // namespace

class InstallerTest : public QObject {
    Q_OBJECT
private slots:
    void freshInstallThenAlreadyInstalled_data() { AddDatabaseKinds(); }
    void freshInstallThenAlreadyInstalled()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        DatabaseTarget t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        const auto test = wz.testConnection(kind, t.login);
        QVERIFY2(test.isEmpty(), test.isEmpty() ? "" : qPrintable(test[0].message));

        QStringList logWhenBoxShown;
        QString pageWhenBoxShown;
        {
            ModalBoxes boxes;
            boxes.onBox = [&](QMessageBox*) {
                logWhenBoxShown = InstallLog(wz);
                pageWhenBoxShown = wz.pageName();
            };
            wz.click("btnCriarEstrutura");
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].title, QStringLiteral("Information"));
            QCOMPARE(boxes.seen[0].icon, QMessageBox::Information);
            QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        }
        QStringList expected{"Banco selecionado: " + QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind))),
                             "Verificando estrutura existente...", "Criando estrutura do Brivel..."};
        for (int i = 0; i < 13; ++i)
            expected << "Executando comando...";
        expected << "Estrutura criada com sucesso.";
        QCOMPARE(logWhenBoxShown, expected);
        QCOMPARE(pageWhenBoxShown, QStringLiteral("TabExecucao"));
        QCOMPARE(InstallLog(wz), expected << "Conexão encerrada.");
        QCOMPARE(wz.pageName(), QStringLiteral("TabFinal"));
        QVERIFY(!wz.button("btnAvancar")->isEnabled());
        QVERIFY(!wz.button("btnVoltar")->isEnabled());
        QCOMPARE(wz.button("btnCancelar")->text(), QStringLiteral("Fechar"));
        QVERIFY(!wz.window().FDConnection().connected());

        QCOMPARE(t.brivelTables(), AllBrivelTables());
        QCOMPARE(t.scalar("SELECT COUNT(*) FROM API_SEQUENCIAIS WHERE ULTIMO_ID = 0;"), QStringLiteral("4"));
        QCOMPARE(t.scalar("SELECT ULTIMO_ID FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_CONFIG';"),
                 QStringLiteral("1"));
        QCOMPARE(t.scalar("SELECT URL_BASE FROM API_CONFIG WHERE ID_CONFIG = 1 AND DT_CADASTRO IS NOT NULL;"),
                 QStringLiteral("http://localhost:9000"));

        // Again: found, nothing executed, the connection reopened and closed.
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");  // still shown on the final page
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
        QCOMPARE(InstallLog(wz),
                 (QStringList{"Banco selecionado: " + QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind))),
                              "Verificando estrutura existente...", "A tabela API_CONFIG já existe.",
                              "A estrutura aparenta já estar instalada.", "Conexão encerrada."}));
        QCOMPARE(wz.pageName(), QStringLiteral("TabFinal"));
        QVERIFY(!wz.window().FDConnection().connected());
    }

    void lowerCaseApiConfigCounts_data() { AddDatabaseKinds(); }
    void lowerCaseApiConfigCounts()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        DatabaseTarget t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        // Every Brivel table, named in lower case.
        for (const QString& table : AllBrivelTables())
            BRIVEL_REQUIRE(t.sql(kind == tbFirebird ? "CREATE TABLE \"" + table.toLower() + "\" (x INTEGER);"
                                                    : "CREATE TABLE " + table.toLower() + " (x INTEGER);"));
        QVERIFY(wz.testConnection(kind, t.login).isEmpty());
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        // Every table found; without their seed rows the structure is partial, and the
        // question ("Não", the default, here) changes nothing.
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Question);
        QVERIFY2(boxes.seen[0].message.contains("Tabelas existentes: " + QStringList(kBrivelTables, kBrivelTables + 6).join(", ") + ".\r\nRegistros iniciais ausentes: "),
                 qPrintable(boxes.seen[0].message));
        QVERIFY(!boxes.seen[0].message.contains(QStringLiteral("Tabelas ausentes")));
        QVERIFY(!InstallLog(wz).contains(QStringLiteral("Executando comando...")));
        QCOMPARE(InstallLog(wz).last(2), (QStringList{"Nada foi criado nem removido.", "Conexão encerrada."}));
    }

    void failureMidwayLeavesNothingOfTheRun_data() { AddDatabaseKinds(); }
    void failureMidwayLeavesNothingOfTheRun()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        DatabaseTarget t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        // An object of the user's takes a name a CREATE TABLE of the script needs.
        int failing = 0;
        BRIVEL_REQUIRE(BlockScriptCreation(t, failing));
        QVERIFY(wz.testConnection(kind, t.login).isEmpty());
        wz.memo("memScript")->setPlainText(QStringLiteral("editado"));

        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        const ModalBoxes::Box box = boxes.seen[0];
        QCOMPARE(box.title, QStringLiteral("Error"));
        QVERIFY(box.message.startsWith(QStringLiteral("Erro ao criar estrutura:\r\n\r\n")));
        QVERIFY(box.message.endsWith(kAdvice));
        const QString serverMessage = box.message.mid(28, box.message.size() - 28 - kAdvice.size());
        QVERIFY(!serverMessage.isEmpty());

        const QStringList log = InstallLog(wz);
        QStringList expected{"Banco selecionado: " + QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind))),
                             "Verificando estrutura existente...", "Criando estrutura do Brivel..."};
        for (int i = 0; i < failing; ++i)
            expected << "Executando comando...";
        QCOMPARE(log.mid(0, expected.size()), expected);
        QVERIFY(!log.mid(expected.size()).contains(QStringLiteral("Executando comando...")));
        // A multi-line server message spans several log lines.
        QVERIFY(log.join(QLatin1Char('\n')).contains(QStringLiteral("Erro ao criar estrutura: ") +
                                                      QString(serverMessage).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
        QCOMPARE(log.last(), QStringLiteral("Conexão encerrada."));
        // Where DDL commits by itself the run's tables are removed again, newest first, and the log says so.
        QStringList undone;
        for (const QString& line : log)
            if (line.endsWith(QStringLiteral(" criada nesta execução foi removida.")))
                undone << line.section(QLatin1Char(' '), 1, 1);
        if (kind == tbMySQL)
            QCOMPARE(undone, (QStringList{"API_ROTAS", "API_CONFIG"}));
        else if (kind == tbFirebird)
            QCOMPARE(undone, (QStringList{"API_ROTA_PARAMETROS", "API_ROTAS", "API_CONFIG"}));
        else
            QVERIFY(undone.isEmpty());  // the rollback alone undid them
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));  // page and buttons unchanged
        QCOMPARE(wz.window().textoScript(), QStringLiteral("editado"));
        QVERIFY(!wz.window().FDConnection().connected());

        // Nothing of this run is left.
        QCOMPARE(t.brivelTables(), QStringList{});

        // Without the user's object the same wizard installs cleanly.
        BRIVEL_REQUIRE(UnblockScriptCreation(t));
        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        QCOMPARE(t.brivelTables(), AllBrivelTables());
    }

    void failureOutsideTheGuardReachesTheTopLevelDisplay()
    {
        // The tested SQLite file is overwritten with other data: the existence
        // query, which runs before the installer's guard, fails.
        Wizard wz;
        QVERIFY(wz.testConnection(tbSQLite, {{}, {}, wz.exeFolder().file("brivel.db"), {}, {}}).isEmpty());
        QFile file(wz.exeFolder().file("brivel.db"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(QByteArray(4096, 'x')) == 4096);
        file.close();
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, ui::ApplicationTitle());
        QVERIFY2(!boxes.seen[0].message.contains(QStringLiteral("Erro ao criar estrutura")),
                 qPrintable(boxes.seen[0].message));
        QCOMPARE(InstallLog(wz), (QStringList{"Banco selecionado: SQLite", "Verificando estrutura existente...",
                                              "Conexão encerrada."}));
        QVERIFY(!wz.window().FDConnection().connected());
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
        QVERIFY(wz.window().isVisible());
    }

    void sqlServerThroughTheOdbcStandIn()
    {
        QString odbc;
        BRIVEL_REQUIRE(ReadOdbcSysIni(odbc));
        qputenv("ODBCSYSINI", odbc.toLocal8Bit());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        DatabaseTarget t;
        Wizard wz;
        BRIVEL_REQUIRE(t.prepare(tbPostgreSQL, wz.exeFolder()));
        QVERIFY(wz.testConnection(tbSQLServer, t.login).isEmpty());
        TFrmSetupBrivelDB& w = wz.window();

        // A short script, committed, then one rolled back.
        w.FDConnection().startTransaction();
        w.ExecutarScript(QStringLiteral("CREATE TABLE API_CONFIG (A INT);\r\nINSERT INTO API_CONFIG VALUES (1);"));
        w.FDConnection().commit();
        QVERIFY(w.TabelaExiste(QStringLiteral("API_CONFIG")));
        w.FDConnection().startTransaction();
        w.ExecutarScript(QStringLiteral("CREATE TABLE API_ROTAS (A INT);\r\n-- x\r\nINSERT INTO API_ROTAS VALUES (2);"));
        QVERIFY(w.FDConnection().inTransaction());
        w.FDConnection().rollback();
        QVERIFY(!w.FDConnection().inTransaction());
        QVERIFY(!w.TabelaExiste(QStringLiteral("API_ROTAS")));
        QCOMPARE(t.scalar("SELECT COUNT(*) FROM api_config;"), QStringLiteral("1"));

        // The installer finds it through the SQL Server existence query, alone: partial,
        // and "Não" (the default) to completing it.
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Question);
        QVERIFY2(boxes.seen[0].message.startsWith(QStringLiteral("A estrutura do Brivel está incompleta neste banco.")),
                 qPrintable(boxes.seen[0].message));
        QVERIFY(boxes.seen[0].message.contains(QStringLiteral("Tabelas existentes: API_CONFIG.")));
        QCOMPARE(InstallLog(wz).first(), QStringLiteral("Banco selecionado: SQL Server"));
        QCOMPARE(t.scalar("SELECT COUNT(*) FROM api_config;"), QStringLiteral("1"));

        // On an empty database the SQL Server dialect fails on PostgreSQL at once; the rollback undoes it.
        BRIVEL_REQUIRE(t.sql("DROP TABLE api_config;"));
        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].message.startsWith(QStringLiteral("Erro ao criar estrutura:\r\n\r\n")));
        QCOMPARE(InstallLog(wz).count(QStringLiteral("Executando comando...")), 1);
        QCOMPARE(t.brivelTables(), QStringList());
    }

    void oracleThroughTheOciStandIn()
    {
        Wizard wz;
        QVERIFY(QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), wz.exeFolder().file("libclntsh.so")));
        wz.exeFolder().write("libociei.so", "data");
        wz.exeFolder().write("fakeoci-recusa.txt", "UPDATE\n");
        QVERIFY(wz.testConnection(tbOracle, {QStringLiteral("db"), QStringLiteral("1521"), QStringLiteral("XE"),
                                             QStringLiteral("APIUSR"), QStringLiteral("tiger")})
                    .isEmpty());
        // The stand-in refuses UPDATE: the run fails at its last statement, after
        // six CREATE TABLEs that Oracle commits by itself.
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].message.contains(QStringLiteral("ORA-00900")), qPrintable(boxes.seen[0].message));
        const QStringList log = InstallLog(wz);
        QCOMPARE(log.count(QStringLiteral("Executando comando...")), 13);
        QStringList undone;
        for (const QString& line : log)
            if (line.endsWith(QStringLiteral(" criada nesta execução foi removida.")))
                undone << line.section(QLatin1Char(' '), 1, 1);
        const QStringList newestFirst{"API_SEQUENCIAIS", "API_LOG_CHAMADAS", "API_USUARIOS", "API_ROTA_PARAMETROS", "API_ROTAS",
                       "API_CONFIG"};
        QCOMPARE(undone, newestFirst);
        TFrmSetupBrivelDB& w = wz.window();
        w.FDConnection().open();
        for (const char* table : kBrivelTables)
            QVERIFY2(!w.TabelaExiste(QString::fromLatin1(table)), table);
        w.FDConnection().close();
    }

    void serverGoneMidInstallation_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL);
        QTest::newRow("MySQL") << int(tbMySQL);
    }

    void serverGoneMidInstallation()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        DatabaseTarget t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        QVERIFY(wz.testConnection(kind, t.login).isEmpty());

        // When the third statement is announced, the server drops the wizard's session.
        bool killed = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (killed || wz.logMessages().count(QStringLiteral("Executando comando...")) < 3)
                return;
            killed = true;
            t.killOtherSessions();
        });
        watch.start(0);
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        watch.stop();
        QVERIFY(killed);
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY(boxes.seen[0].message.startsWith(QStringLiteral("Erro ao criar estrutura:")));
        QVERIFY(!wz.window().FDConnection().connected());
        QVERIFY(wz.window().isVisible());
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
    }

    // A session ended by the server mid-run: the undo cannot reach it either, so the
    // run's first tables stay. The user is told which; the next run sees a partial
    // structure and asks: "Não" touches nothing, "Sim" creates only what is missing.
    void sessionKilledMidInstallationThenCompleted_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("MySQL") << int(tbMySQL);
        QTest::newRow("Firebird") << int(tbFirebird);
    }

    void sessionKilledMidInstallationThenCompleted()
    {
        QFETCH(int, kind);
        Wizard wz;
        DatabaseTarget t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        QVERIFY(wz.testConnection(kind, t.login).isEmpty());

        // When the third statement is announced (two tables created), the session is ended.
        bool killed = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (killed || wz.logMessages().count(QStringLiteral("Executando comando...")) < 3)
                return;
            killed = true;
            t.killOtherSessions();
        });
        watch.start(0);
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        watch.stop();
        QVERIFY(killed);
        QCOMPARE(boxes.seen.size(), 1);
        const QString box = boxes.seen[0].message;
        QVERIFY2(box.startsWith(QStringLiteral("Erro ao criar estrutura:\r\n\r\n")), qPrintable(box));
        QVERIFY2(box.endsWith(kAdvice + QStringLiteral("\r\n\r\nAtenção: não foi possível desfazer tudo. As tabelas a "
                                                       "seguir, criadas nesta execução, permaneceram no banco: "
                                                       "API_CONFIG, API_ROTAS.")),
                 qPrintable(box));
        QVERIFY(InstallLog(wz).contains(
            QStringLiteral("Tabelas criadas nesta execução que permaneceram no banco: API_CONFIG, API_ROTAS.")));
        QCOMPARE(t.brivelTables(), (QStringList{"API_CONFIG", "API_ROTAS"}));
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));

        // The next run: API_CONFIG is there, the rest is not.
        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Question);
        QCOMPARE(boxes.seen[0].message,
                 QStringLiteral("A estrutura do Brivel está incompleta neste banco.\r\n\r\n"
                                "Tabelas existentes: API_CONFIG, API_ROTAS.\r\n"
                                "Tabelas ausentes: API_ROTA_PARAMETROS, API_USUARIOS, API_LOG_CHAMADAS, API_SEQUENCIAIS.\r\n"
                                "Registros iniciais ausentes: API_CONFIG (ID_CONFIG = 1).") +
                     kQuestion);
        const QString name = QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind)));
        QCOMPARE(InstallLog(wz),
                 (QStringList{"Banco selecionado: " + name, "Verificando estrutura existente...",
                              "A tabela API_CONFIG já existe.", "A estrutura do Brivel está incompleta neste banco.",
                              "Tabelas existentes: API_CONFIG, API_ROTAS.",
                              "Tabelas ausentes: API_ROTA_PARAMETROS, API_USUARIOS, API_LOG_CHAMADAS, API_SEQUENCIAIS.",
                              "Registros iniciais ausentes: API_CONFIG (ID_CONFIG = 1).", "Nada foi criado nem removido.",
                              "Conexão encerrada."}));
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
        QCOMPARE(t.brivelTables(), (QStringList{"API_CONFIG", "API_ROTAS"}));
        QVERIFY(!wz.window().FDConnection().connected());

        // "Sim": the rest is created on the database thread, the user's row stays.
        BRIVEL_REQUIRE(t.sql("INSERT INTO API_ROTAS (ID_ROTA, ROTA, METODO) VALUES (7, '/clientes', 'GET');"));
        boxes.seen.clear();
        boxes.answer = [](QMessageBox* b) {
            return b->icon() == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
        };
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[1].icon, QMessageBox::Information);
        QCOMPARE(boxes.seen[1].message, QStringLiteral("Estrutura completada com sucesso."));
        const QStringList log = InstallLog(wz);
        QStringList created;
        for (const QString& line : log)
            if (line.startsWith(QStringLiteral("Tabela ")) && line.endsWith(QStringLiteral(" criada.")))
                created << line.section(QLatin1Char(' '), 1, 1);
        QCOMPARE(created, (QStringList{"API_ROTA_PARAMETROS", "API_USUARIOS", "API_LOG_CHAMADAS", "API_SEQUENCIAIS"}));
        QCOMPARE(log.count(QStringLiteral("Registro inicial inserido: API_CONFIG (ID_CONFIG = 1).")), 1);
        QCOMPARE(log.last(2), (QStringList{"Estrutura completada com sucesso.", "Conexão encerrada."}));
        QCOMPARE(wz.pageName(), QStringLiteral("TabFinal"));
        QCOMPARE(wz.button("btnCancelar")->text(), QStringLiteral("Fechar"));
        QVERIFY(!wz.window().FDConnection().connected());
        QCOMPARE(t.brivelTables(), AllBrivelTables());
        QCOMPARE(t.scalar("SELECT ROTA FROM API_ROTAS WHERE ID_ROTA = 7;"), QStringLiteral("/clientes"));
        QCOMPARE(t.scalar("SELECT COUNT(*) FROM API_SEQUENCIAIS;"), QStringLiteral("5"));
        QCOMPARE(t.scalar("SELECT ULTIMO_ID FROM API_SEQUENCIAIS WHERE NOME_TABELA = 'API_ROTAS';"), QStringLiteral("7"));

        // Now found installed.
        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
    }
};

BRIVEL_GUI_TEST_MAIN(InstallerTest)
#include "test_installer.moc"
