// setupbriveldb-cli testar and script against the wizard, the password sources,
// --de-config and bad input, run as a process.
#include "CliProcess.h"

#include "core/SchemaScript.h"
#include "support/DatabaseTarget.h"
#include "support/ModalBoxes.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace brivel;
using namespace brivel::test;

namespace {

const QByteArray kForeign = "[OUTRA]\r\nChave=valor mantido\r\n\r\n";

QProcessEnvironment WithPassword(const QString& password)
{
    QProcessEnvironment env = Cli::CleanEnvironment();
    env.insert(QStringLiteral("BRIVEL_SENHA"), password);
    return env;
}

void NoPasswordIn(const CliRun& r, const QString& password)
{
    QVERIFY2(!r.out.contains(password.toUtf8()), r.out.constData());
    QVERIFY2(!r.err.contains(password.toUtf8()), r.err.constData());
}

} // namespace

class CliOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void testarWritesTheWizardsBytes_data() { AddDatabaseKinds(); }
    void testarWritesTheWizardsBytes()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        DatabaseTarget t;
        BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));
        const Wizard::Login login = t.login;
        wz.exeFolder().write("configApi.ini", kForeign);
        QVERIFY(wz.testConnection(kind, login).isEmpty());
        const QByteArray wizardBytes = wz.exeFolder().read("configApi.ini");

        // The program in the same folder writes the same file by default.
        Cli cli(wz.exeFolder());
        wz.exeFolder().write("configApi.ini", kForeign);
        const QStringList args = QStringList{"testar"} +
                                 ConnectionArgs(kind, login.server, login.port, login.database, login.user);
        CliRun r = cli.run(args, WithPassword(login.password));
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(wz.exeFolder().read("configApi.ini"), wizardBytes);
        QVERIFY(wizardBytes.startsWith(kForeign));
        QVERIFY(r.messages().contains(QStringLiteral("Conexão realizada com sucesso.")));
        QVERIFY(r.messages().contains("Arquivo configApi.ini criado em: " + wz.exeFolder().file("configApi.ini")));
        if (kind != tbSQLite)
            NoPasswordIn(r, login.password);

        // --config writes elsewhere, and --de-config reads it back for the next command.
        TempFolder other;
        r = cli.run(args + QStringList{"--config", other.file("configApi.ini"), "--json"}, WithPassword(login.password));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.json()["config"].toString(), other.file("configApi.ini"));
        QCOMPARE(other.read("configApi.ini"), QByteArray(wizardBytes).remove(0, kForeign.size()));
        r = cli.run({"instalar", "--de-config", other.file("configApi.ini")});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(t.brivelTables(), AllBrivelTables());
    }

    void deConfigReadsBothEncodings()
    {
        // A name outside Windows-1252 makes the writer use UTF-16; "ação" stays in Windows-1252.
        for (const QString& folderName : {QStringLiteral("ação"), QStringLiteral("база")}) {
            TempFolder tmp;
            Cli cli(tmp);
            QVERIFY(QDir(tmp.path()).mkdir(folderName));
            const QString db = tmp.file(folderName + "/brivel.db");
            CliRun r = cli.run({"testar", "--tipo", "sqlite", "--banco", db});
            QCOMPARE(r.code, 0);
            const QByteArray bytes = tmp.read("configApi.ini");
            QCOMPARE(bytes.startsWith("\xFF\xFE"), folderName == QStringLiteral("база"));
            r = cli.run({"instalar", "--de-config", tmp.file("configApi.ini")});
            QVERIFY2(r.code == 0, r.err.constData());
            r = cli.run({"verificar", "--de-config", tmp.file("configApi.ini"), "--json"});
            QCOMPARE(r.code, 0);
            QVERIFY(QFileInfo(db).size() > 0);
        }
    }

    void configApiIniNotSavedIsNotAConnectionError()
    {
        // The connection works; the file's folder does not exist.
        TempFolder tmp;
        Cli cli(tmp);
        const QString config = tmp.file("nao-existe/configApi.ini");
        CliRun r = cli.run({"testar", "--tipo", "sqlite", "--banco", tmp.file("brivel.db"), "--config", config, "--json"});
        QCOMPARE(r.code, 1);
        const QString error = r.json()["erro"].toString();
        // The window's heading and text, then the system's reason (in the user's language).
        const QString text = QStringLiteral("Erro ao gravar o configApi.ini:\r\n\r\nA conexão com o banco foi realizada, "
                                            "mas o arquivo configApi.ini não pôde ser gravado.\r\n\r\nNão foi possível "
                                            "gravar o arquivo ") +
                             config + QStringLiteral(": ");
        QVERIFY2(error.startsWith(text) && error.size() > text.size(), qPrintable(error));
        QVERIFY2(!r.errText().contains(QStringLiteral("Erro ao conectar")), r.err.constData());
        QVERIFY(!QFileInfo::exists(config));
    }

    void scriptIsTheWizardsTextAndExport()
    {
        Wizard wz;
        Cli cli(wz.exeFolder());
        for (int kind = 0; kind < kKindCount; ++kind) {
            wz.selectKind(kind);
            const QByteArray text = wz.window().GerarScript().toUtf8();
            const QString config = QString::fromUtf8(ConfigName(static_cast<TTipoBanco>(kind)));
            CliRun r = cli.run({"script", "--tipo", config});
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, text);
            // The export's bytes: a byte-order mark, then the text; an existing file is replaced.
            wz.exeFolder().write("saida.sql", "antigo");
            r = cli.run({"script", "--tipo", QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(kind))), "--saida",
                         wz.exeFolder().file("saida.sql")});
            QCOMPARE(r.code, 0);
            QVERIFY(r.out.isEmpty());
            QCOMPARE(wz.exeFolder().read("saida.sql"), "\xEF\xBB\xBF" + text);
        }
        // No client library and no connection: an unwritable target is a failure with the path.
        const CliRun r = cli.run({"script", "--tipo", "mysql", "--saida", "/nonexistent/folder/x.sql"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.errText().contains(QStringLiteral("/nonexistent/folder/x.sql")));
    }

    void passwordSources()
    {
        PgServer pg;
        BRIVEL_REQUIRE(ReadPgServer(pg));
        TempFolder folder;
        Cli cli(folder);
        LinkLibpq(folder);
        const QStringList args = QStringList{"testar"} + ConnectionArgs(tbPostgreSQL, pg.host, pg.port, pg.database, pg.user) +
                                 QStringList{"--config", folder.file("c.ini")};
        const QString wrong = QStringLiteral("errada-Xq7");

        // File: its first line; it wins over the environment.
        folder.write("senha.txt", pg.password.toUtf8() + "\nsegunda linha\n");
        CliRun r = cli.run(args + QStringList{"--senha-arquivo", folder.file("senha.txt")}, WithPassword(wrong));
        QVERIFY2(r.code == 0, r.err.constData());
        NoPasswordIn(r, pg.password);
        // Environment.
        r = cli.run(args, WithPassword(pg.password));
        QCOMPARE(r.code, 0);
        // A wrong one: the server's refusal, exit 1, never the password.
        r = cli.run(args + QStringList{"--json"}, WithPassword(wrong));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.errText().contains(QStringLiteral("\nErro ao conectar ao banco: ")), r.err.constData());
        NoPasswordIn(r, wrong);
        // None at all and no terminal: no prompt, the server refuses.
        r = cli.run(args);
        QCOMPARE(r.code, 1);
        QVERIFY(!r.errText().contains(QStringLiteral("Senha:")));
        // --senha: accepted, with the warning.
        r = cli.run(args + QStringList{"--senha", pg.password});
        QCOMPARE(r.code, 0);
        QVERIFY(r.errText().contains(QStringLiteral("Aviso: a senha passada com --senha")));
        QVERIFY(!r.messages().join('\n').contains(pg.password));

        // A terminal: the prompt on standard error, the answer not echoed.
        int master = -1, slave = -1;
        QVERIFY(openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
        QProcess p;
        p.setProcessEnvironment(Cli::CleanEnvironment());
        p.setStandardInputFile(QString::fromLocal8Bit(ttyname(slave)));
        p.setReadChannel(QProcess::StandardError);
        p.start(cli.path(), args);
        QVERIFY(p.waitForStarted());
        QByteArray err;
        while (!err.contains("Senha: ") && p.state() == QProcess::Running && p.waitForReadyRead(30000))
            err += p.readAllStandardError();
        QVERIFY2(err.contains("Senha: "), err.constData());
        const QByteArray answer = pg.password.toUtf8() + "\n";
        QCOMPARE(::write(master, answer.constData(), answer.size()), qint64(answer.size()));
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        // What the terminal showed: nothing of the password.
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char echoed[256];
        const ssize_t n = ::read(master, echoed, sizeof echoed);
        QVERIFY(n <= 0 || !QByteArray(echoed, int(n)).contains(pg.password.toUtf8()));
        ::close(master);
        ::close(slave);
    }

    void passwordHiddenFromTheProcessList()
    {
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        TempFolder folder;
        Cli cli(folder);
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.setReadChannel(QProcess::StandardError);
        p.start(cli.path(), {"testar", "--tipo", "mysql", "--servidor", "127.0.0.1", "--porta",
                             QString::number(silent.port()), "--banco", "b", "--usuario", "u", "--senha",
                             "segredo-Zk3", "--config", folder.file("c.ini")});
        QVERIFY(p.waitForStarted());
        QByteArray err;
        while (!err.contains("Aviso:") && p.waitForReadyRead(30000))
            err += p.readAllStandardError();
        // The process now waits for the silent server; its command line is what others see.
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p.processId()));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        const QByteArray seen = cmdline.readAll();
        p.kill();
        p.waitForFinished();
        QVERIFY(seen.contains("--senha"));
        QVERIFY2(!seen.contains("segredo-Zk3"), seen.constData());
    }

    void badInputExitsTwoWithoutConnecting_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString port = QString::number(FreePort());  // nothing listens: a connection would say so
        const QStringList pgNoPort{"--tipo", "postgresql", "--servidor", "127.0.0.1", "--usuario", "u"};
        const QStringList pg = pgNoPort + QStringList{"--porta", port};
        QTest::newRow("no subcommand") << QStringList{} << "Informe um subcomando: testar, script, instalar ou verificar.";
        QTest::newRow("unknown option") << QStringList{"instalar", "--sennha", "x"} << "Argumento não reconhecido";
        QTest::newRow("unknown kind") << QStringList{"testar", "--tipo", "access", "--banco", "x"}
                                      << "Tipo de banco desconhecido: access. Use MYSQL, FIREBIRD, ORACLE, SQLSERVER, "
                                         "SQLITE ou POSTGRESQL.";
        QTest::newRow("no kind") << QStringList{"instalar", "--banco", "x"} << "Informe o tipo do banco.";
        QTest::newRow("script without kind") << QStringList{"script"} << "Informe o tipo do banco.";
        QTest::newRow("no database") << QStringList{"instalar"} + pg << "Informe o banco/base/arquivo/service name.";
        QTest::newRow("blank server") << QStringList{"verificar", "--tipo", "mysql", "--banco", "b", "--servidor", "  ",
                                                     "--usuario", "u"}
                                      << "Informe o servidor/IP.";
        QTest::newRow("port not a number") << QStringList{"testar", "--banco", "b"} + pgNoPort + QStringList{"--porta", "abc"}
                                           << "Informe uma porta válida.";
        QTest::newRow("port zero") << QStringList{"testar", "--banco", "b"} + pgNoPort + QStringList{"--porta", "0"}
                                   << "Informe uma porta válida.";
        QTest::newRow("no user") << QStringList{"instalar", "--tipo", "firebird", "--banco", "b", "--servidor", "localhost", "--porta", port}
                                 << "Informe o usuário.";
        QTest::newRow("two passwords") << QStringList{"instalar", "--banco", "b", "--senha", "a", "--senha-arquivo", "f"} + pg
                                       << "Use --senha ou --senha-arquivo, não as duas.";
        QTest::newRow("password file missing")
            << QStringList{"instalar", "--banco", "b", "--senha-arquivo", "/nonexistent/senha"} + pg
            << "Não foi possível ler o arquivo de senha: /nonexistent/senha";
        QTest::newRow("config missing") << QStringList{"instalar", "--de-config", "/nonexistent/configApi.ini"}
                                        << "Arquivo de configuração não encontrado: /nonexistent/configApi.ini";
    }
    void badInputExitsTwoWithoutConnecting()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        TempFolder folder;
        Cli cli(folder);
        const CliRun r = cli.run(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.errText().startsWith(message), r.err.constData());
        QVERIFY(!r.errText().contains(QStringLiteral("Erro ao conectar")));
        QVERIFY(r.messages().isEmpty());
        QVERIFY(!QFileInfo::exists(folder.file("configApi.ini")));
        if (args.size() > 1) {
            const CliRun j = cli.run(args + QStringList{"--json"});
            QCOMPARE(j.code, 2);
            if (!j.out.isEmpty()) {
                QCOMPARE(j.json()["codigo_saida"].toInt(), 2);
                QCOMPARE(j.json()["erro"].toString(), message);
            }
        }
    }

    void helpAndVersion()
    {
        TempFolder folder;
        Cli cli(folder);
        CliRun r = cli.run({"--help"});
        QCOMPARE(r.code, 0);
        const QString help = QString::fromUtf8(r.out);
        for (const char* word : {"testar", "script", "instalar", "verificar", "Códigos de saída", "BRIVEL_SENHA"})
            QVERIFY2(help.contains(QString::fromUtf8(word)), word);
        r = cli.run({"instalar", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(QString::fromUtf8(r.out).contains(QStringLiteral("--senha-arquivo")));
        QVERIFY(QString::fromUtf8(r.out).contains(QStringLiteral("--completar")));
        r = cli.run({"--version"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("setupbriveldb-cli "));
    }
};

BRIVEL_GUI_TEST_MAIN(CliOptionsTest)
#include "test_cli_options.moc"
