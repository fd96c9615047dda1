// "Testar Conexão" end to end: the real window against real servers and files.
#include "core/AppPaths.h"
#include "core/SchemaScript.h"
#include "support/ModalBoxes.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace brivel;
using namespace brivel::test;

namespace {

const QString kPrefix = QStringLiteral("Erro ao conectar ao banco:\r\n\r\n");
// A client must match the program's architecture, not the system's.
const QString kArch = QStringLiteral("de %1 bits (a mesma arquitetura deste programa)").arg(QT_POINTER_SIZE * 8);

QByteArray Ini(const QString& tipo, const QString& banco, const QString& servidor, const QString& porta,
               const QString& usuario, const QString& senha, const QString& charset)
{
    const QString text = QStringLiteral("[BANCO]\r\nTipo=%1\r\nBanco=%2\r\nServidor=%3\r\nPorta=%4\r\nUsuario=%5\r\n"
                                        "Senha=%6\r\nCharset=%7\r\nUseSSL=0\r\n[API]\r\nPorta=9000\r\n")
                             .arg(tipo, banco, servidor, porta, usuario, senha, charset);
    return text.toLatin1();
}

QStringList Params(TFrmSetupBrivelDB& w)
{
    QStringList out;
    for (const auto& [name, value] : w.FDConnection().definition().params())
        out << QString::fromStdString(name + "=" + value);
    return out;
}

// A fresh database of a server kind and the login that reaches it.
Outcome Prepare(int kind, Wizard::Login& login)
{
    switch (kind) {
    case tbMySQL: {
        MariaDbServer s;
        if (auto r = ReadMariaDbServer(s); !r)
            return r;
        login = {s.host, s.port, {}, s.user, s.password};
        return CreateMariaDbDatabase(s, login.database);
    }
    case tbFirebird: {
        FbServer s;
        if (auto r = ReadFbServer(s); !r)
            return r;
        login = {s.host, s.port, {}, s.user, s.password};
        return CreateFbDatabase(s, login.database);
    }
    case tbSQLServer:
    case tbPostgreSQL: {
        PgServer s;
        if (auto r = ReadPgServer(s); !r)
            return r;
        login = {s.host, s.port, {}, s.user, s.password};
        return CreatePgDatabase(s, login.database);
    }
    default: return Outcome::Fail(QStringLiteral("no server for this kind"));
    }
}

void CheckSuccessState(Wizard& wz, int kind)
{
    QCOMPARE(wz.label("lblStatusConexao")->text(), QStringLiteral("Conexão realizada com sucesso. configApi.ini criado."));
    QCOMPARE(wz.label("lblStatusConexao")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QVERIFY(wz.window().conexaoOk());
    QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
    QVERIFY(!wz.button("btnAvancar")->isEnabled());
    QVERIFY(wz.button("btnVoltar")->isEnabled());
    for (const char* b : {"btnCriarEstrutura", "btnSalvarScript", "btnCopiarScript"})
        QVERIFY2(wz.button(b)->isVisible(), b);
    QCOMPARE(wz.window().textoScript().toStdString(), ScriptFor(static_cast<TTipoBanco>(kind)));
    QVERIFY(wz.window().FDConnection().connected());
    const QStringList log = wz.logMessages();
    QVERIFY(log.size() >= 2);
    QCOMPARE(log[log.size() - 2], QStringLiteral("Conexão realizada com sucesso."));
    QCOMPARE(log.last(), QStringLiteral("Arquivo configApi.ini criado em: ") + wz.exeFolder().file("configApi.ini"));
}

} // namespace

class ConnectionTestTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString odbc;
        if (ReadOdbcSysIni(odbc)) {
            qputenv("ODBCSYSINI", odbc.toLocal8Bit());
            qputenv("ODBCINSTINI", "odbcinst.ini");
        }
    }

    void sqliteFile()
    {
        Wizard wz;
        const QString file = wz.exeFolder().file("brivel.db");
        const auto boxes = wz.testConnection(tbSQLite, {{}, {}, file, {}, {}});
        QVERIFY2(boxes.isEmpty(), boxes.isEmpty() ? "" : qPrintable(boxes[0].message));
        CheckSuccessState(wz, tbSQLite);
        QCOMPARE(wz.logMessages().size(), 2);
        QCOMPARE(Params(wz.window()), (QStringList{"DriverID=SQLite", "Database=" + file, "LockingMode=Normal",
                                                   "Synchronous=Normal"}));
        QCOMPARE(wz.exeFolder().read("configApi.ini"), Ini("SQLITE", file, "", "", "", "", "UTF8"));
        QVERIFY(QFileInfo::exists(file));
    }

    void serverKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("charset");
        QTest::newRow("MySQL") << int(tbMySQL) << "MYSQL" << "utf8mb4";
        QTest::newRow("Firebird") << int(tbFirebird) << "FIREBIRD" << "NONE";
        QTest::newRow("SQL Server (ODBC stand-in)") << int(tbSQLServer) << "SQLSERVER" << "UTF8";
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL) << "POSTGRESQL" << "utf8";
    }

    void serverKinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, tipo);
        QFETCH(QString, charset);
        Wizard wz;
        wz.linkLibpq();
        Wizard::Login login;
        BRIVEL_REQUIRE(Prepare(kind, login));
        // Blanks around the server and the password: configApi.ini stores neither,
        // and the connection is made with what the file carries.
        Wizard::Login typed = login;
        typed.server = QStringLiteral(" ") + login.server + QStringLiteral(" ");
        typed.password = QStringLiteral("  ") + login.password + QStringLiteral(" ");
        const auto boxes = wz.testConnection(kind, typed);
        QVERIFY2(boxes.isEmpty(), boxes.isEmpty() ? "" : qPrintable(boxes[0].message));
        CheckSuccessState(wz, kind);
        QCOMPARE(wz.exeFolder().read("configApi.ini"),
                 Ini(tipo, login.database, login.server, login.port, login.user, login.password, charset));
        const QString driver = QString::fromUtf8(DriverId(static_cast<TTipoBanco>(kind)));
        const QString last = kind == tbSQLServer ? QStringLiteral("OSAuthent=No") : "CharacterSet=" + charset;
        QCOMPARE(Params(wz.window()),
                 (QStringList{"DriverID=" + driver, "Server=" + login.server, "Port=" + login.port,
                              "Database=" + login.database, "User_Name=" + login.user, "Password=" + login.password,
                              last}));
        if (kind == tbPostgreSQL) {
            QCOMPARE(wz.logMessages().size(), 3);
            QCOMPARE(wz.logMessages()[0],
                     QStringLiteral("PostgreSQL libpq carregada de: ") + wz.exeFolder().file("libpq.so.5"));
        } else {
            QCOMPARE(wz.logMessages().size(), 2);
        }
    }

    void postgresTakesLibpqFromTheProgramFolderEveryTime()
    {
        Wizard wz;
        Wizard::Login login;
        BRIVEL_REQUIRE(Prepare(tbPostgreSQL, login));
        const QByteArray pathBefore = qgetenv("PATH");
        auto boxes = wz.testConnection(tbPostgreSQL, login);  // no libpq beside the program
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].message, kPrefix + QStringLiteral("Não foi encontrado libpq.so.5 em:\r\n") +
                                       wz.exeFolder().file("libpq.so.5") + QStringLiteral("\r\nCopie a libpq.so.5 ") +
                                       kArch +
                                       QStringLiteral(", com as bibliotecas de que ela depende, para a pasta do EXE."));
        QCOMPARE(qgetenv("PATH"), pathBefore);
        QVERIFY(wz.logLines().isEmpty());
        QVERIFY(!wz.window().FDConnection().connected());
        QVERIFY(wz.window().FDConnection().definition().params().empty());

        wz.linkLibpq();
        for (int i = 0; i < 2; ++i)
            QVERIFY(wz.testConnection(tbPostgreSQL, login).isEmpty());
        const QString folder = wz.exeFolder().path();
        QVERIFY(qEnvironmentVariable("PATH").startsWith(folder + ':' + folder + ':'));
        const QStringList log = wz.logMessages();
        QCOMPARE(log.size(), 6);
        for (int i : {0, 3}) {
            QVERIFY(log[i].startsWith(QStringLiteral("PostgreSQL libpq carregada de: ")));
            QCOMPARE(log[i + 1], QStringLiteral("Conexão realizada com sucesso."));
        }
        qputenv("PATH", pathBefore);
    }

    void oracleThroughTheClientBesideTheProgram()
    {
        Wizard wz;
        const Wizard::Login login{QStringLiteral("192.0.2.15"), QStringLiteral("1521"), QStringLiteral(" VENDAS"),
                                  QStringLiteral("APIUSR"), QStringLiteral("tiger")};
        auto boxes = wz.testConnection(tbOracle, login);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].message, kPrefix + QStringLiteral("Não foi encontrado o arquivo libclntsh.so na pasta do "
                                                            "sistema.\r\nCopie o Oracle Instant Client ") +
                                       kArch + QStringLiteral(" para a pasta do EXE."));
        QVERIFY(QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), wz.exeFolder().file("libclntsh.so")));
        boxes = wz.testConnection(tbOracle, login);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].message, kPrefix + QStringLiteral("Não foi encontrado o arquivo libociei.so na pasta do "
                                                            "sistema.\r\nCopie o Oracle Instant Client completo para "
                                                            "a pasta do EXE."));
        wz.exeFolder().write("libociei.so", "data");
        const QByteArray pathBefore = qgetenv("PATH");
        for (int i = 0; i < 2; ++i) {
            boxes = wz.testConnection(tbOracle, login);
            QVERIFY2(boxes.isEmpty(), boxes.isEmpty() ? "" : qPrintable(boxes[0].message));
        }
        CheckSuccessState(wz, tbOracle);
        QCOMPARE(qgetenv("PATH"), wz.exeFolder().path().toLocal8Bit() + ':' + pathBefore);  // once only
        QCOMPARE(wz.logMessages().size(), 4);  // nothing logged for the client itself
        QCOMPARE(Params(wz.window()),
                 (QStringList{"DriverID=Ora", "User_Name=APIUSR", "Password=tiger",
                              "Database=(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=192.0.2.15)(PORT=1521))"
                              "(CONNECT_DATA=(SERVICE_NAME=VENDAS)))",  // as ServiceName in the file
                              "CharacterSet=UTF8"}));
        const QString folder = wz.exeFolder().path();
        QCOMPARE(wz.exeFolder().read("configApi.ini"),
                 Ini("ORACLE", "TESSAN_ORACLE", "192.0.2.15", "1521", "APIUSR", "tiger", "UTF8") +
                     QStringLiteral("[ORACLE]\r\nAlias=TESSAN_ORACLE\r\nServiceName=VENDAS\r\nTNS_ADMIN=%1network/admin"
                                    "\r\nTNSNAMES=%1network/admin/tnsnames.ora\r\n")
                         .arg(folder)
                         .toLatin1());
        qputenv("PATH", pathBefore);
    }

    void wrongPasswordShowsTheServersMessageAndTheCause_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("causeKnown");
        QTest::newRow("MySQL") << int(tbMySQL) << true;
        QTest::newRow("Firebird") << int(tbFirebird) << true;
        // The PostgreSQL ODBC driver standing in answers 08001, not SQL Server's 28000.
        QTest::newRow("SQL Server (ODBC stand-in)") << int(tbSQLServer) << false;
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL) << true;
    }

    void wrongPasswordShowsTheServersMessageAndTheCause()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        Wizard::Login login;
        BRIVEL_REQUIRE(Prepare(kind, login));
        login.password = QStringLiteral("Errada#Senha%42");
        const auto boxes = wz.testConnection(kind, login);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("Error"));
        QVERIFY(boxes[0].message.startsWith(kPrefix));
        QVERIFY(boxes[0].message.size() > kPrefix.size() + 5);
        // The server's text, then our line naming the likely cause.
        const QString hint = QStringLiteral("\r\nCausa provável: usuário ou senha incorretos. Confira o usuário e a "
                                            "senha informados.");
        QFETCH(bool, causeKnown);
        if (causeKnown) {
            QVERIFY2(boxes[0].message.endsWith(hint), qPrintable(boxes[0].message));
            QVERIFY(boxes[0].message.size() > kPrefix.size() + hint.size() + 5);
        } else {
            QVERIFY2(!boxes[0].message.contains(QStringLiteral("Causa provável")), qPrintable(boxes[0].message));
        }
        QVERIFY2(!boxes[0].message.contains(login.password), qPrintable(boxes[0].message));
        QVERIFY(!wz.logMessages().join('\n').contains(login.password));
        QCOMPARE(wz.label("lblStatusConexao")->text(), QStringLiteral("Erro na conexão."));
        QCOMPARE(wz.label("lblStatusConexao")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));
        QVERIFY(!wz.window().conexaoOk());
        QVERIFY(!wz.button("btnAvancar")->isEnabled());
        QVERIFY(!wz.button("btnCriarEstrutura")->isVisible());
        QVERIFY(!QFileInfo::exists(wz.exeFolder().file("configApi.ini")));
    }

    void readOnlyProgramFolderKeepsTheConnectionOpen()
    {
        Wizard wz;
        wz.linkLibpq();
        Wizard::Login login;
        BRIVEL_REQUIRE(Prepare(tbPostgreSQL, login));
        ReadOnlyFolder readOnly(wz.exeFolder().path());
        QVERIFY2(readOnly.ok(), qPrintable(readOnly.error()));
        const auto boxes = wz.testConnection(tbPostgreSQL, login);
        QCOMPARE(boxes.size(), 1);
        // The connection worked: heading, status and box say that it was the file
        // that failed, with the system's reason.
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].message,
                 QStringLiteral("Erro ao gravar o configApi.ini:\r\n\r\nA conexão com o banco foi realizada, mas o "
                                "arquivo configApi.ini não pôde ser gravado.\r\n\r\nNão foi possível gravar o arquivo ") +
                     wz.exeFolder().file("configApi.ini") + QStringLiteral(": ") +
                     QString::fromLocal8Bit(std::strerror(EROFS)));
        QVERIFY(wz.window().FDConnection().connected());
        QVERIFY(!wz.window().conexaoOk());
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));
        QVERIFY(!wz.button("btnAvancar")->isEnabled());
        QCOMPARE(wz.label("lblStatusConexao")->text(),
                 QStringLiteral("Conexão realizada, mas o configApi.ini não foi gravado."));
        QCOMPARE(wz.label("lblStatusConexao")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        const QStringList log = wz.logMessages();
        QVERIFY2(!log.contains(QStringLiteral("Conexão realizada com sucesso.")), qPrintable(log.join('\n')));
    }

    void failedTestAfterASuccessKeepsTheOldConnection()
    {
        Wizard wz;
        const QString file = wz.exeFolder().file("brivel.db");
        QVERIFY(wz.testConnection(tbSQLite, {{}, {}, file, {}, {}}).isEmpty());
        const auto boxes = wz.testConnection(tbSQLite, {{}, {}, QStringLiteral("   "), {}, {}});
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].message, kPrefix + QStringLiteral("Informe o banco/base/arquivo/service name."));
        QVERIFY(wz.window().FDConnection().connected());
        QCOMPARE(wz.window().FDConnection().definition().value("Database"), file.toStdString());
        QVERIFY(!wz.window().conexaoOk());
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));
        QVERIFY(!wz.button("btnAvancar")->isEnabled());
        QVERIFY(wz.button("btnCriarEstrutura")->isVisible());  // shown for good
        QCOMPARE(wz.label("lblStatusConexao")->text(), QStringLiteral("Erro na conexão."));
    }

    void secondSuccessfulTestClosesTheFirstConnection()
    {
        PgServer pg;
        BRIVEL_REQUIRE(ReadPgServer(pg));
        Wizard wz;
        wz.linkLibpq();
        Wizard::Login login;
        BRIVEL_REQUIRE(Prepare(tbPostgreSQL, login));
        const QString sessions =
            QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = '%1'").arg(login.database);
        QVERIFY(wz.testConnection(tbPostgreSQL, login).isEmpty());
        QVERIFY(wz.testConnection(tbPostgreSQL, login).isEmpty());
        QString count;
        BRIVEL_REQUIRE(RunPgSql(pg, pg.database, sessions, &count));
        QCOMPARE(count, QStringLiteral("1"));
        QCOMPARE(wz.logMessages().size(), 6);
    }
};

BRIVEL_GUI_TEST_MAIN(ConnectionTestTest)
#include "test_connection_test.moc"
