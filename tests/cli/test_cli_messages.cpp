// What the window and the command line say in failure cases that are ours
// (configApi.ini not saved, client library missing, connection changed, bad
// fields): Portuguese, without the INI writer's or any other English phrase of
// ours. Server and system texts are not searched: none of these cases has one
// that holds these phrases.
#include "CliProcess.h"

#include "support/ModalBoxes.h"
#include "support/TempFolder.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

// The INI writer's former texts, and English words our own messages could carry.
const QStringList kEnglish{"Unable to", "not allowed", "Invalid text", "Line break", "Key not", "failed", "cannot",
                           "could not", "not found", "missing", "Error"};

// Each output with the case it came from.
struct Outputs {
    QList<QPair<QString, QString>> seen;
    void add(const QString& where, const QString& text)
    {
        QVERIFY2(!text.trimmed().isEmpty(), qPrintable(where + ": nothing shown"));
        seen.append({where, text});
    }
    void checkNoEnglish() const
    {
        for (const auto& [where, text] : seen)
            for (const QString& phrase : kEnglish)
                QVERIFY2(!text.contains(phrase, Qt::CaseInsensitive),
                         qPrintable(where + ": \"" + phrase + "\" in: " + text));
    }
};

void ReadOnlyFile(const TempFolder& folder, const QString& name)
{
    folder.write(name, "[OUTRA]\r\nChave=1\r\n");
    QFile::setPermissions(folder.file(name), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
}

} // namespace

class MessagesTest : public QObject {
    Q_OBJECT
private slots:
    void windowFailureTextsArePortuguese()
    {
        Outputs out;
        const Wizard::Login server{QStringLiteral("127.0.0.1"), QStringLiteral("5432"), QStringLiteral("vendas"),
                                   QStringLiteral("api"), QStringLiteral("x")};
        auto test = [&](const QString& name, int kind, const Wizard::Login& login, auto&& prepare) {
            Wizard wz;
            prepare(wz);
            const auto boxes = wz.testConnection(kind, login);
            QCOMPARE(boxes.size(), 1);
            out.add(name + " (box)", boxes[0].message);
            out.add(name + " (status)", wz.label("lblStatusConexao")->text());
            if (!wz.logMessages().isEmpty())
                out.add(name + " (log)", wz.logMessages().join('\n'));
        };
        const auto sqlite = [](const Wizard& wz) {
            return Wizard::Login{{}, {}, wz.exeFolder().file("brivel.db"), {}, {}};
        };
        {
            Wizard wz;
            ReadOnlyFile(wz.exeFolder(), QStringLiteral("configApi.ini"));
            const auto boxes = wz.testConnection(tbSQLite, sqlite(wz));
            QCOMPARE(boxes.size(), 1);
            QVERIFY(boxes[0].message.startsWith(QStringLiteral("Erro ao gravar o configApi.ini:")));
            out.add("read-only configApi.ini (box)", boxes[0].message);
            out.add("read-only configApi.ini (status)", wz.label("lblStatusConexao")->text());
        }
        {
            Wizard wz;
            QVERIFY(QDir().mkdir(wz.exeFolder().file("configApi.ini")));
            const auto boxes = wz.testConnection(tbSQLite, sqlite(wz));
            QCOMPARE(boxes.size(), 1);
            QVERIFY(boxes[0].message.startsWith(QStringLiteral("Erro ao gravar o configApi.ini:")));
            out.add("configApi.ini is a folder (box)", boxes[0].message);
        }
        test(QStringLiteral("no libpq"), tbPostgreSQL, server, [](Wizard&) {});
        test(QStringLiteral("no Oracle client"), tbOracle, server, [](Wizard&) {});
        test(QStringLiteral("no Oracle data library"), tbOracle, server,
             [](Wizard& wz) { wz.exeFolder().write("libclntsh.so", "x"); });
        test(QStringLiteral("no database"), tbMySQL, {server.server, server.port, {}, server.user, {}}, [](Wizard&) {});
        {
            Wizard wz;
            QVERIFY(wz.testConnection(tbSQLite, sqlite(wz)).isEmpty());
            wz.edit("edtDatabase")->setText(wz.exeFolder().file("outro.db"));
            ModalBoxes boxes;
            wz.click("btnCriarEstrutura");
            QCOMPARE(boxes.seen.size(), 1);
            out.add("connection changed (box)", boxes.seen[0].message);
        }
        out.checkNoEnglish();
    }

    void commandLineFailureTextsArePortuguese()
    {
        Outputs out;
        TempFolder folder;
        Cli cli(folder);
        auto run = [&](const QString& name, const QStringList& args) {
            const CliRun r = cli.run(args);
            QVERIFY2(r.code != 0, qPrintable(name));
            out.add(name + " (stderr)", r.errText());
            const CliRun j = cli.run(args + QStringList{"--json"});
            out.add(name + " (json)", j.json()["erro"].toString());
        };
        const QStringList sqlite{"testar", "--tipo", "sqlite", "--banco", folder.file("brivel.db"), "--config"};
        run(QStringLiteral("configApi.ini folder missing"), sqlite + QStringList{folder.file("nao-existe/configApi.ini")});
        ReadOnlyFile(folder, QStringLiteral("somente-leitura.ini"));
        run(QStringLiteral("read-only configApi.ini"), sqlite + QStringList{folder.file("somente-leitura.ini")});
        QVERIFY(QDir().mkdir(folder.file("pasta.ini")));
        run(QStringLiteral("configApi.ini is a folder"), sqlite + QStringList{folder.file("pasta.ini")});
        const QStringList server = ConnectionArgs(tbPostgreSQL, "127.0.0.1", "5432", "vendas", "api");
        run(QStringLiteral("no libpq"), QStringList{"testar"} + server);
        run(QStringLiteral("no libpq (install)"), QStringList{"instalar"} + server);
        run(QStringLiteral("no Oracle client"),
            QStringList{"testar"} + ConnectionArgs(tbOracle, "127.0.0.1", "1521", "XE", "api"));
        run(QStringLiteral("no user"), QStringList{"verificar"} + ConnectionArgs(tbMySQL, "127.0.0.1", "3306", "b", ""));
        for (const auto& [where, text] : out.seen)
            if (where.startsWith(QStringLiteral("configApi.ini folder missing (stderr)")) ||
                where.startsWith(QStringLiteral("read-only configApi.ini (stderr)")))
                QVERIFY2(text.startsWith(QStringLiteral("Erro ao gravar o configApi.ini:")), qPrintable(text));
        out.checkNoEnglish();
    }
};

BRIVEL_GUI_TEST_MAIN(MessagesTest)
#include "test_cli_messages.moc"
