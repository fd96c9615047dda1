#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/InstallSteps.h"
#include "support/ErrorOf.h"

#include <QtTest>

using namespace brivel;
using brivel::test::ErrorOf;

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

// UTF-8 of the text, with each "\xHH" replaced by that byte (valid UTF-8 or not).
std::string Bytes(const QString& text)
{
    const std::string utf8 = text.toStdString();
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8.compare(i, 2, "\\x") == 0 && i + 3 < utf8.size()) {
            out += static_cast<char>(std::stoi(utf8.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += utf8[i];
        }
    }
    return out;
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
        // Field texts are bytes: "\xHH" in a cell stands for that byte (see Bytes).
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");  // empty: passes
        QTest::newRow("no kind first") << -1 << "" << "" << "" << "" << "" << "Informe o tipo do banco.";
        QTest::newRow("database before server") << 0 << "  " << "" << "" << "" << ""
                                                << "Informe o banco/base/arquivo/service name.";
        QTest::newRow("server") << 0 << "db" << " \t" << "3306" << "u" << "" << "Informe o servidor/IP.";
        QTest::newRow("port zero") << 0 << "db" << "h" << "0" << "u" << "" << "Informe uma porta válida.";
        QTest::newRow("port negative") << 0 << "db" << "h" << "-1" << "u" << "" << "Informe uma porta válida.";
        QTest::newRow("port letters") << 0 << "db" << "h" << "abc" << "u" << "" << "Informe uma porta válida.";
        QTest::newRow("port empty") << 5 << "db" << "h" << "" << "u" << "" << "Informe uma porta válida.";
        QTest::newRow("port beyond 32 bits") << 5 << "db" << "h" << "99999999999" << "u" << ""
                                             << "Informe uma porta válida.";
        QTest::newRow("port before user") << 1 << "db" << "h" << "x" << "" << "" << "Informe uma porta válida.";
        QTest::newRow("user of blanks") << 3 << "db" << "h" << "1433" << "   " << "" << "Informe o usuário.";
        QTest::newRow("port with blanks passes") << 0 << "db" << "h" << " 3306 " << "u" << "" << "";
        QTest::newRow("no upper bound on port") << 0 << "db" << "h" << "70000" << "u" << "" << "";
        QTest::newRow("sqlite needs only the file") << 4 << "/x/brivel.db" << "" << "" << "" << "" << "";
        QTest::newRow("sqlite still needs the file") << 4 << " " << "" << "" << "" << ""
                                                     << "Informe o banco/base/arquivo/service name.";

        // The texts themselves, after the page's checks: named by field, never shown.
        QTest::newRow("NUL in the password, which the client library would cut there")
            << 3 << "db" << "h" << "1433" << "sa" << "s3nha\\x00;UID=x" << "O campo \"Senha\" contém um caractere nulo, que não pode ser usado.";
        QTest::newRow("NUL in the SQLite file") << 4 << "/x/a\\x00.db" << "" << "" << "" << ""
                                                << "O campo \"Arquivo SQLite\" contém um caractere nulo, que não pode "
                                                   "ser usado.";
        QTest::newRow("page checks come first") << 0 << "db" << "h" << "3306" << " " << "\\x00" << "Informe o usuário.";
        QTest::newRow("line break in the user")
            << 5 << "db" << "h" << "5432" << "u\\x0D\\x0A[API]" << "" << "O campo \"Usuário\" contém uma quebra de linha, que não pode ser gravada no configApi.ini.";
        const QString notUtf8 = QStringLiteral("\" contém uma sequência de bytes que não é texto UTF-8 válido.");
        QTest::newRow("overlong line feed in the password")
            << 0 << "db" << "h" << "3306" << "u" << "a\\xC0\\x8A[API]" << "O campo \"Senha" + notUtf8;
        QTest::newRow("overlong closing brace in the user")
            << 3 << "db" << "h" << "1433" << "sa\\xC1\\xBD;PWD=x" << "" << "O campo \"Usuário" + notUtf8;
        QTest::newRow("overlong three-byte slash in the database")
            << 1 << "\\xE0\\x80\\xAFetc" << "h" << "3050" << "u" << "" << "O campo \"Banco / Base / Service Name" + notUtf8;
        QTest::newRow("overlong four-byte form in the server")
            << 1 << "db" << "h\\xF0\\x80\\x80\\xAF" << "3050" << "u" << "" << "O campo \"Servidor" + notUtf8;
        QTest::newRow("surrogate in the password")
            << 5 << "db" << "h" << "5432" << "u" << "x\\xED\\xA0\\x80y" << "O campo \"Senha" + notUtf8;
        QTest::newRow("beyond U+10FFFF in the port")
            << 5 << "db" << "h" << "5432\\xF4\\x90\\x80\\x80" << "u" << "" << "Informe uma porta válida.";
        QTest::newRow("beyond U+10FFFF in the SQLite file")
            << 4 << "/x/\\xF4\\x90\\x80\\x80.db" << "" << "" << "" << "" << "O campo \"Arquivo SQLite" + notUtf8;
        QTest::newRow("sequence cut at the end of the password")
            << 0 << "db" << "h" << "3306" << "u" << "s\\xE2\\x82" << "O campo \"Senha" + notUtf8;
        QTest::newRow("stray continuation byte in the user")
            << 0 << "db" << "h" << "3306" << "\\x80u" << "" << "O campo \"Usuário" + notUtf8;
        QTest::newRow("every UTF-8 boundary that is valid passes")
            << 0 << "db" << "h" << "3306" << "u"
            << "\\xC2\\x80\\xDF\\xBF\\xE0\\xA0\\x80\\xED\\x9F\\xBF\\xEE\\x80\\x80\\xEF\\xBF\\xBF\\xF0\\x90\\x80\\x80"
               "\\xF4\\x8F\\xBF\\xBF ção€😀"
            << "";

        // Oracle: a value must not rewrite the connect descriptor.
        const QString oracle = QStringLiteral("\" não pode conter os caracteres ( ) = numa conexão Oracle.");
        QTest::newRow("Oracle service name closing the descriptor")
            << 2 << "ORCL)(CONNECT_DATA=(SID=X" << "h" << "1521" << "u" << "" << "O campo \"Banco / Base / Service Name" + oracle;
        QTest::newRow("Oracle host with a parameter")
            << 2 << "ORCL" << "h)(PORT=1" << "1521" << "u" << "" << "O campo \"Servidor" + oracle;
        QTest::newRow("Oracle host with = alone") << 2 << "ORCL" << "a=b" << "1521" << "u" << "" << "O campo \"Servidor" + oracle;
        QTest::newRow("Oracle password may hold them") << 2 << "ORCL" << "h" << "1521" << "u" << "p(=)" << "";
        QTest::newRow("other kinds may hold them") << 0 << "a(b)=c" << "h" << "3306" << "u" << "" << "";
    }

    void validation()
    {
        QFETCH(int, kind);
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, message);
        ConnectionFields f;
        f.kindIndex = kind;
        f.database = Bytes(database);
        f.servidor = Bytes(server);
        f.porta = Bytes(port);
        f.usuario = Bytes(user);
        f.senha = Bytes(password);
        QCOMPARE(ValidationMessage(f), message);
    }

    void definitionPerKind_data()
    {
        // Every text is the one configApi.ini carries: trimmed, inner blanks kept.
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QStringList>("params");
        const QString desc = "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=srv)(PORT=1521))"
                             "(CONNECT_DATA=(SERVICE_NAME=VENDAS)))";
        QTest::newRow("MySQL") << 0 << " p w " << "MySQL"
                               << QStringList{"DriverID=MySQL", "Server=srv", "Port=1521", "Database=VENDAS",
                                              "User_Name=usr", "Password=p w", "CharacterSet=utf8mb4"};
        QTest::newRow("Firebird, empty password is absent")
            << 1 << "" << "FB"
            << QStringList{"DriverID=FB", "Server=srv", "Port=1521", "Database=VENDAS", "User_Name=usr",
                           "CharacterSet=NONE"};
        QTest::newRow("Oracle descriptor from the trimmed texts")
            << 2 << "pw" << "Ora"
            << QStringList{"DriverID=Ora", "User_Name=usr", "Password=pw", "Database=" + desc, "CharacterSet=UTF8"};
        QTest::newRow("SQL Server, a password of blanks is absent")
            << 3 << "   " << "MSSQL"
            << QStringList{"DriverID=MSSQL", "Server=srv", "Port=1521", "Database=VENDAS", "User_Name=usr",
                           "OSAuthent=No"};
        QTest::newRow("SQLite sends no login") << 4 << "pw" << "SQLite"
                                               << QStringList{"DriverID=SQLite", "Database=VENDAS",
                                                              "LockingMode=Normal", "Synchronous=Normal"};
        QTest::newRow("PostgreSQL, quotes are part of the password")
            << 5 << "\t' a;b ' " << "PG"
            << QStringList{"DriverID=PG", "Server=srv", "Port=1521", "Database=VENDAS", "User_Name=usr",
                           "Password=' a;b '", "CharacterSet=utf8"};
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
        f.porta = " 1521";
        f.database = "VENDAS  ";
        f.usuario = "\tusr";
        f.senha = password.toStdString();
        const ConnectionDefinition def = DefinitionFor(f);
        QCOMPARE(QString::fromStdString(def.driverID()), driver);
        QCOMPARE(Params(def), params);
    }

    void oracleDescriptorExample()
    {
        QCOMPARE(OracleDescriptor("192.0.2.15", "1521", "VENDAS"),
                 std::string("(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=192.0.2.15)(PORT=1521))"
                             "(CONNECT_DATA=(SERVICE_NAME=VENDAS)))"));
        // Callers that skip validation still cannot rewrite the descriptor.
        QCOMPARE(ErrorOf([] { OracleDescriptor("h", "1521", "ORCL)(CONNECT_DATA=(SID=X"); }),
                 QStringLiteral("O service name não pode conter os caracteres ( ) = numa conexão Oracle."));
        QCOMPARE(ErrorOf([] { OracleDescriptor("h)(PORT=1", "1521", "ORCL"); }),
                 QStringLiteral("O servidor não pode conter os caracteres ( ) = numa conexão Oracle."));
    }

    void definitionTextsCheckedBeforeSending_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::newRow("NUL") << QByteArray("ab\0cd", 5)
                             << "O parâmetro Password da conexão contém um caractere nulo, que não pode ser usado.";
        QTest::newRow("overlong brace") << QByteArray("x\xC1\xBDy")
                                        << "O parâmetro Password da conexão contém uma sequência de bytes que não é "
                                           "texto UTF-8 válido.";
        QTest::newRow("valid text") << QByteArray("s3nh@ ção") << "";
    }

    void definitionTextsCheckedBeforeSending()
    {
        QFETCH(QByteArray, password);
        QFETCH(QString, message);
        ConnectionDefinition def;
        def.set("DriverID", "MSSQL");
        def.set("Password", password.toStdString());
        QCOMPARE(ErrorOf([&] { CheckParameterTexts(def); }), message);
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
