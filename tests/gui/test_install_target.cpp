// "Criar Estrutura" works only on the database the connection page shows: an
// edit after a successful test refuses the installation and touches no database.
#include "support/DatabaseTarget.h"
#include "support/ModalBoxes.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

const QString kChanged = QStringLiteral("Os dados da conexão foram alterados desde o último teste.\r\n\r\n"
                                        "Clique em \"Testar Conexão\" novamente antes de criar a estrutura.");

// What the user changes on the connection page after the successful test.
enum Edit {
    SqliteFileButton,  // another file, picked with the file button
    DatabaseName,      // another PostgreSQL database, typed
    KindSqlServer,
    KindMySql,
    Server,
    Port,
    User,
    Password,
    EditUndone,  // a new database name typed, then the old one again
};

} // namespace

class InstallTargetTest : public QObject {
    Q_OBJECT
private slots:
    void editAfterTheTestRefusesTheInstallation_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<bool>("refused");
        QTest::newRow("SQLite file changed with the file button") << int(SqliteFileButton) << true;
        QTest::newRow("PostgreSQL database name") << int(DatabaseName) << true;
        QTest::newRow("kind switched to SQL Server") << int(KindSqlServer) << true;
        QTest::newRow("kind switched to MySQL") << int(KindMySql) << true;
        QTest::newRow("server") << int(Server) << true;
        QTest::newRow("port") << int(Port) << true;
        QTest::newRow("user") << int(User) << true;
        QTest::newRow("password") << int(Password) << true;
        QTest::newRow("edit undone: the same database again") << int(EditUndone) << false;
    }

    void editAfterTheTestRefusesTheInstallation()
    {
        QFETCH(int, edit);
        QFETCH(bool, refused);
        Wizard wz;
        wz.linkLibpq();
        const int kind = edit == SqliteFileButton ? tbSQLite : tbPostgreSQL;
        // The tested database, and the other one the page may name afterwards.
        DatabaseTarget tested, other;
        BRIVEL_REQUIRE(tested.prepare(kind, wz.exeFolder()));
        if (kind == tbPostgreSQL) {
            BRIVEL_REQUIRE(other.prepare(kind, wz.exeFolder()));
        } else {
            other.kind = tbSQLite;
            other.login.database = wz.exeFolder().file("outro.db");
            wz.exeFolder().write("outro.db", QByteArray());  // an empty file is an empty SQLite database
        }
        QVERIFY(wz.testConnection(kind, tested.login).isEmpty());
        const ConnectionDefinition definitionTested = wz.window().FDConnection().definition();

        wz.click("btnVoltar");
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));
        switch (edit) {
        case SqliteFileButton: {
            FileDialogAnswer pick(other.login.database);
            QTest::mouseClick(wz.get<QToolButton>("btnArquivo"), Qt::LeftButton);
            QVERIFY(pick.shown());
            QCOMPARE(wz.edit("edtDatabase")->text(), other.login.database);
            break;
        }
        case DatabaseName: wz.type("edtDatabase", other.login.database); break;
        case KindSqlServer: wz.selectKind(tbSQLServer); break;
        case KindMySql: wz.selectKind(tbMySQL); break;
        case Server:
            wz.type("edtServidor", tested.login.server == u"localhost" ? QStringLiteral("127.0.0.1")
                                                                       : QStringLiteral("localhost"));
            break;
        case Port: wz.type("edtPorta", QString::number(FreePort())); break;
        case User: wz.type("edtUsuario", tested.login.user + QStringLiteral("_outro")); break;
        case Password: wz.type("edtSenha", tested.login.password + QStringLiteral("x")); break;
        case EditUndone:
            wz.type("edtDatabase", other.login.database);
            wz.type("edtDatabase", tested.login.database);
            break;
        }

        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        if (!refused) {
            QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
            QCOMPARE(tested.brivelTables(), AllBrivelTables());
            QCOMPARE(other.brivelTables(), QStringList());
            return;
        }
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen[0].message, kChanged);
        // Nothing ran: no database has a Brivel table, the connection is the tested one, as it was.
        QCOMPARE(tested.brivelTables(), QStringList());
        QCOMPARE(other.brivelTables(), QStringList());
        QVERIFY(InstallLog(wz).isEmpty());
        QVERIFY(wz.window().FDConnection().connected());
        QVERIFY(wz.window().FDConnection().definition() == definitionTested);
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));
        QVERIFY(wz.button("btnCriarEstrutura")->isVisible());

        if (edit != SqliteFileButton && edit != DatabaseName)
            return;
        // Tested again, the installation goes into the database the page shows now.
        boxes.seen.clear();
        wz.click("btnTestarConexao");
        QCOMPARE(boxes.seen.size(), 0);
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        QCOMPARE(other.brivelTables(), AllBrivelTables());
        QCOMPARE(tested.brivelTables(), QStringList());
    }
};

BRIVEL_GUI_TEST_MAIN(InstallTargetTest)
#include "test_install_target.moc"
