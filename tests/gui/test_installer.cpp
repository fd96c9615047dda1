// "Criar Estrutura" through the real window on real servers and SQLite files.
#include "core/SchemaScript.h"
#include "support/ModalBoxes.h"
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

// A fresh database of one kind, reachable through the wizard and through the kind's own client.
struct Target {
    int kind = tbSQLite;
    Wizard::Login login;
    PgServer pg;
    MariaDbServer maria;
    FbServer fb;

    Outcome prepare(int k, const TempFolder& folder)
    {
        kind = k;
        switch (kind) {
        case tbSQLite:
            login.database = folder.file("brivel.db");
            return {};
        case tbPostgreSQL:
            if (auto r = ReadPgServer(pg); !r)
                return r;
            login = {pg.host, pg.port, {}, pg.user, pg.password};
            return CreatePgDatabase(pg, login.database);
        case tbMySQL:
            if (auto r = ReadMariaDbServer(maria); !r)
                return r;
            login = {maria.host, maria.port, {}, maria.user, maria.password};
            return CreateMariaDbDatabase(maria, login.database);
        case tbFirebird:
            if (auto r = ReadFbServer(fb); !r)
                return r;
            login = {fb.host, fb.port, {}, fb.user, fb.password};
            return CreateFbDatabase(fb, login.database);
        }
        return Outcome::Fail(QStringLiteral("kind not prepared here"));
    }

    // Runs SQL with the kind's own command-line client; `out` gets one line per row.
    Outcome sql(const QString& statement, QString* out = nullptr) const
    {
        switch (kind) {
        case tbPostgreSQL: return RunPgSql(pg, login.database, statement, out);
        case tbMySQL: return RunMariaDbSql(maria, login.database, statement, out);
        case tbFirebird: return RunFbSql(fb, login.database, statement, out);
        default: {
            QProcess p;
            p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), login.database, statement});
            if (!p.waitForFinished(60000) || p.exitCode() != 0)
                return Outcome::Fail(QStringLiteral("sqlite3: ") + QString::fromUtf8(p.readAllStandardError()));
            if (out)
                *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
            return {};
        }
        }
    }

    // The Brivel tables present, upper-cased and sorted.
    QStringList brivelTables() const
    {
        QString out;
        QString query;
        switch (kind) {
        case tbPostgreSQL:
            query = "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema();";
            break;
        case tbMySQL: query = "SHOW TABLES;"; break;
        case tbFirebird: query = "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0;"; break;
        default: query = "SELECT name FROM sqlite_master WHERE type = 'table';"; break;
        }
        if (!sql(query, &out))
            return {QStringLiteral("<query failed>")};
        QStringList tables;
        for (const QString& row : out.split(QLatin1Char('\n')))
            if (row.trimmed().toUpper().startsWith(QLatin1String("API_")))
                tables << row.trimmed().toUpper();
        tables.sort();
        return tables;
    }

    QString scalar(const QString& query) const
    {
        QString out;
        if (!sql(query, &out))
            return QStringLiteral("<query failed>");
        return out.split(QLatin1Char('\n')).last().trimmed();
    }
};

QStringList AllTables()
{
    QStringList t;
    for (const char* name : kBrivelTables)
        t << QString::fromLatin1(name);
    t.sort();
    return t;
}

void AddKinds()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("SQLite") << int(tbSQLite);
    QTest::newRow("PostgreSQL") << int(tbPostgreSQL);
    QTest::newRow("MySQL") << int(tbMySQL);
    QTest::newRow("Firebird") << int(tbFirebird);
}

// The log from the installer's first line on.
QStringList InstallLog(const Wizard& wz)
{
    const QStringList log = wz.logMessages();
    for (int i = log.size() - 1; i >= 0; --i)
        if (log[i].startsWith(QStringLiteral("Banco selecionado: ")))
            return log.mid(i);
    return {};
}

} // namespace

class InstallerTest : public QObject {
    Q_OBJECT
private slots:
    void freshInstallThenAlreadyInstalled_data() { AddKinds(); }
    void freshInstallThenAlreadyInstalled()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        Target t;
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

        QCOMPARE(t.brivelTables(), AllTables());
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

    void lowerCaseApiConfigCounts_data() { AddKinds(); }
    void lowerCaseApiConfigCounts()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        Target t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        BRIVEL_REQUIRE(t.sql(kind == tbFirebird ? "CREATE TABLE \"api_config\" (x INTEGER);"
                                                : "CREATE TABLE api_config (x INTEGER);"));
        QVERIFY(wz.testConnection(kind, t.login).isEmpty());
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
        QVERIFY(!InstallLog(wz).contains(QStringLiteral("Executando comando...")));
    }

    void failureMidwayLeavesNothingOfTheRun_data() { AddKinds(); }
    void failureMidwayLeavesNothingOfTheRun()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        Target t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        // The user's own API_USUARIOS, with a row: the fourth statement fails on it.
        BRIVEL_REQUIRE(t.sql("CREATE TABLE API_USUARIOS (ID INTEGER, NOME VARCHAR(20));"));
        BRIVEL_REQUIRE(t.sql("INSERT INTO API_USUARIOS (ID, NOME) VALUES (7, 'cliente');"));
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
        QCOMPARE(log.mid(0, 7),
                 (QStringList{"Banco selecionado: " + QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind))),
                              "Verificando estrutura existente...", "Criando estrutura do Brivel...",
                              "Executando comando...", "Executando comando...", "Executando comando...",
                              "Executando comando..."}));
        QVERIFY(!log.mid(7).contains(QStringLiteral("Executando comando...")));
        // A multi-line server message spans several log lines.
        QVERIFY(log.join(QLatin1Char('\n')).contains(QStringLiteral("Erro ao criar estrutura: ") +
                                                      QString(serverMessage).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
        QCOMPARE(log.last(), QStringLiteral("Conexão encerrada."));
        // Where DDL commits by itself the run's tables are removed again, newest first, and the log says so.
        QStringList undone;
        for (const QString& line : log)
            if (line.endsWith(QStringLiteral(" criada nesta execução foi removida.")))
                undone << line.section(QLatin1Char(' '), 1, 1);
        if (kind == tbMySQL || kind == tbFirebird)
            QCOMPARE(undone, (QStringList{"API_ROTA_PARAMETROS", "API_ROTAS", "API_CONFIG"}));
        else
            QVERIFY(undone.isEmpty());  // the rollback alone undid them
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));  // page and buttons unchanged
        QCOMPARE(wz.window().textoScript(), QStringLiteral("editado"));
        QVERIFY(!wz.window().FDConnection().connected());

        // Nothing of this run is left; the user's table and row are intact.
        QCOMPARE(t.brivelTables(), QStringList{"API_USUARIOS"});
        QCOMPARE(t.scalar("SELECT NOME FROM API_USUARIOS WHERE ID = 7;"), QStringLiteral("cliente"));

        // Without the user's table the same wizard installs cleanly.
        BRIVEL_REQUIRE(t.sql("DROP TABLE API_USUARIOS;"));
        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        QCOMPARE(t.brivelTables(), AllTables());
    }

    void failureOutsideTheGuardReachesTheTopLevelDisplay()
    {
        // The kind changed after the test: the connection is still SQLite's, the
        // existence query is Firebird's, and SQLite has no RDB$RELATIONS.
        Wizard wz;
        QVERIFY(wz.testConnection(tbSQLite, {{}, {}, wz.exeFolder().file("brivel.db"), {}, {}}).isEmpty());
        wz.click("btnVoltar");
        wz.selectKind(tbFirebird);
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, ui::ApplicationTitle());
        QVERIFY2(boxes.seen[0].message.contains(QStringLiteral("RDB$RELATIONS")), qPrintable(boxes.seen[0].message));
        QCOMPARE(InstallLog(wz), (QStringList{"Banco selecionado: Firebird", "Verificando estrutura existente...",
                                              "Conexão encerrada."}));
        QVERIFY(!wz.window().FDConnection().connected());
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));
        QVERIFY(wz.window().isVisible());
    }

    void sqlServerThroughTheOdbcStandIn()
    {
        QString odbc;
        BRIVEL_REQUIRE(ReadOdbcSysIni(odbc));
        qputenv("ODBCSYSINI", odbc.toLocal8Bit());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        Target t;
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

        // The installer finds it through the SQL Server existence query.
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
        QCOMPARE(InstallLog(wz).first(), QStringLiteral("Banco selecionado: SQL Server"));

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
        QVERIFY(wz.testConnection(tbOracle, {QStringLiteral("db"), QStringLiteral("1521"), QStringLiteral("XE"),
                                             QStringLiteral("APIUSR"), QStringLiteral("tiger")})
                    .isEmpty());
        // The stand-in knows no UPDATE: the run fails at its last statement, after
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
        Target t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        QVERIFY(wz.testConnection(kind, t.login).isEmpty());

        // When the third statement is announced, the server drops the wizard's session.
        bool killed = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (killed || wz.logMessages().count(QStringLiteral("Executando comando...")) < 3)
                return;
            killed = true;
            if (kind == tbPostgreSQL) {
                PgServer admin = t.pg;
                RunPgSql(admin, admin.database,
                         QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1';")
                             .arg(t.login.database));
            } else {
                QString ids;
                RunMariaDbSql(t.maria, QString(),
                              QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '%1' AND ID <> "
                                             "CONNECTION_ID();")
                                  .arg(t.login.database),
                              &ids);
                for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                    RunMariaDbSql(t.maria, QString(), QStringLiteral("KILL %1;").arg(id));
            }
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
};

BRIVEL_GUI_TEST_MAIN(InstallerTest)
#include "test_installer.moc"
