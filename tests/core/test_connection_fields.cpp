#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/InstallSteps.h"

#include <QtTest>

using namespace brivel;

namespace {
QString ValidationMessage(const ConnectionFields& f)
{
    try {
        ValidarCamposConexao(f);
    } catch (const Error& e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

QStringList Params(const ConnectionDefinition& def)
{
    QStringList out;
    for (const auto& [name, value] : def.params())
        out << QString::fromStdString(name + "=" + value);
    return out;
}
} // namespace

class ConnectionFieldsTest : public QObject {
    Q_OBJECT
private slots:
    void validation_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("message");  // empty: passes
        QTest::newRow("no kind first") << -1 << "" << "" << "" << "" << "Informe o tipo do banco.";
        QTest::newRow("database before server") << 0 << "  " << "" << "" << ""
                                                << "Informe o banco/base/arquivo/service name.";
        QTest::newRow("server") << 0 << "db" << " \t" << "3306" << "u" << "Informe o servidor/IP.";
        QTest::newRow("port zero") << 0 << "db" << "h" << "0" << "u" << "Informe uma porta válida.";
        QTest::newRow("port negative") << 0 << "db" << "h" << "-1" << "u" << "Informe uma porta válida.";
        QTest::newRow("port letters") << 0 << "db" << "h" << "abc" << "u" << "Informe uma porta válida.";
        QTest::newRow("port empty") << 5 << "db" << "h" << "" << "u" << "Informe uma porta válida.";
        QTest::newRow("port beyond 32 bits") << 5 << "db" << "h" << "99999999999" << "u"
                                             << "Informe uma porta válida.";
        QTest::newRow("port before user") << 1 << "db" << "h" << "x" << "" << "Informe uma porta válida.";
        QTest::newRow("user of blanks") << 3 << "db" << "h" << "1433" << "   " << "Informe o usuário.";
        QTest::newRow("port with blanks passes") << 0 << "db" << "h" << " 3306 " << "u" << "";
        QTest::newRow("no upper bound on port") << 0 << "db" << "h" << "70000" << "u" << "";
        QTest::newRow("sqlite needs only the file") << 4 << "/x/brivel.db" << "" << "" << "" << "";
        QTest::newRow("sqlite still needs the file") << 4 << " " << "" << "" << ""
                                                     << "Informe o banco/base/arquivo/service name.";
    }

    void validation()
    {
        QFETCH(int, kind);
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, user);
        QFETCH(QString, message);
        ConnectionFields f;
        f.kindIndex = kind;
        f.database = database.toStdString();
        f.servidor = server.toStdString();
        f.porta = port.toStdString();
        f.usuario = user.toStdString();
        QCOMPARE(ValidationMessage(f), message);
    }

    void definitionPerKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QStringList>("params");
        const QString desc = "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST= srv )(PORT=1521))"
                             "(CONNECT_DATA=(SERVICE_NAME=VENDAS)))";
        QTest::newRow("MySQL") << 0 << "pw" << "MySQL"
                               << QStringList{"DriverID=MySQL", "Server= srv ", "Port=1521", "Database=VENDAS",
                                              "User_Name=usr", "Password=pw", "CharacterSet=utf8mb4"};
        QTest::newRow("Firebird, empty password is absent")
            << 1 << "" << "FB"
            << QStringList{"DriverID=FB", "Server= srv ", "Port=1521", "Database=VENDAS", "User_Name=usr",
                           "CharacterSet=NONE"};
        QTest::newRow("Oracle descriptor from untrimmed texts")
            << 2 << "pw" << "Ora"
            << QStringList{"DriverID=Ora", "User_Name=usr", "Password=pw", "Database=" + desc, "CharacterSet=UTF8"};
        QTest::newRow("SQL Server") << 3 << "pw" << "MSSQL"
                                    << QStringList{"DriverID=MSSQL", "Server= srv ", "Port=1521", "Database=VENDAS",
                                                   "User_Name=usr", "Password=pw", "OSAuthent=No"};
        QTest::newRow("SQLite sends no login") << 4 << "pw" << "SQLite"
                                               << QStringList{"DriverID=SQLite", "Database=VENDAS",
                                                              "LockingMode=Normal", "Synchronous=Normal"};
        QTest::newRow("PostgreSQL") << 5 << "pw" << "PG"
                                    << QStringList{"DriverID=PG", "Server= srv ", "Port=1521", "Database=VENDAS",
                                                   "User_Name=usr", "Password=pw", "CharacterSet=utf8"};
    }

    void definitionPerKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, password);
        QFETCH(QString, driver);
        QFETCH(QStringList, params);
        ConnectionFields f;
        f.kindIndex = kind;
        f.servidor = " srv ";
        f.porta = "1521";
        f.database = "VENDAS";
        f.usuario = "usr";
        f.senha = password.toStdString();
        const ConnectionDefinition def = DefinitionFor(f);
        QCOMPARE(QString::fromStdString(def.driverID()), driver);
        QCOMPARE(Params(def), params);
        QVERIFY(!def.loginPrompt);
    }

    void oracleDescriptorExample()
    {
        QCOMPARE(OracleDescriptor("192.0.2.15", "1521", "VENDAS"),
                 std::string("(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=192.0.2.15)(PORT=1521))"
                             "(CONNECT_DATA=(SERVICE_NAME=VENDAS)))"));
    }

    void parameterListSemantics()
    {
        ConnectionDefinition def;
        def.set("A", "1");
        def.set("B", "2");
        def.set("C", "3");
        def.set("A", "9");   // replaced in place
        def.set("B", "");    // removed
        def.set("Z", "");    // absent stays absent
        def.set("B", "4");   // appended again at the end
        QCOMPARE(Params(def), (QStringList{"A=9", "C=3", "B=4"}));
        def.clear();
        QVERIFY(def.params().empty());
    }

    void createdTableName_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("table");
        QTest::newRow("generated") << "CREATE TABLE API_ROTAS (\r\n  ID_ROTA INT" << "API_ROTAS";
        QTest::newRow("lower case and blanks") << "  create   table\tapi_x(" << "api_x";
        QTest::newRow("insert") << "INSERT INTO API_CONFIG " << "";
        QTest::newRow("create index") << "CREATE INDEX X ON T (A)" << "";
        QTest::newRow("create tablespace") << "CREATE TABLESPACE X" << "";
    }

    void createdTableName()
    {
        QFETCH(QString, statement);
        QFETCH(QString, table);
        QCOMPARE(QString::fromStdString(CreatedTableName(statement.toStdString())), table);
    }
};

QTEST_APPLESS_MAIN(ConnectionFieldsTest)
#include "test_connection_fields.moc"
