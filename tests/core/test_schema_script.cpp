#include "core/DbKind.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"
#include "support/TempFolder.h"

#include <QtTest>

using namespace brivel;

namespace {
std::string MySqlFixture()
{
    const QByteArray bytes = test::ReadFile(QStringLiteral(BRIVEL_SOURCE_DIR "/tests/core/fixtures/script_mysql.sql"));
    return bytes.toStdString();
}

// The MySQL fixture turned into another kind's text by its dialect words, word by word.
std::string Derive(const std::string& mysql, const DialectWords& w)
{
    QString s = QString::fromStdString(mysql);
    s.replace(QStringLiteral("NOW()"), QStringLiteral("@NOW@"));
    s.replace(QStringLiteral("LONGTEXT"), QStringLiteral("@TEXT@"));
    s.replace(QStringLiteral("DATETIME"), QStringLiteral("@DT@"));
    s.replace(QStringLiteral("VARCHAR("), QStringLiteral("@VC@("));
    s.replace(QRegularExpression(QStringLiteral("\\bINT\\b")), QStringLiteral("@INT@"));
    s.replace(QStringLiteral("@NOW@"), QString::fromStdString(w.ANow));
    s.replace(QStringLiteral("@TEXT@"), QString::fromStdString(w.AText));
    s.replace(QStringLiteral("@DT@"), QString::fromStdString(w.ADateTime));
    s.replace(QStringLiteral("@VC@"), QString::fromStdString(w.AVarchar));
    s.replace(QStringLiteral("@INT@"), QString::fromStdString(w.AInt));
    return s.toStdString();
}

QStringList Lines(const std::string& script) { return QString::fromStdString(script).split(QStringLiteral("\r\n")); }
} // namespace

class SchemaScriptTest : public QObject {
    Q_OBJECT
private slots:
    void eachKindMatchesTheTemplate_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<QString>("line20");
        QTest::addColumn<QString>("line85End");
        QTest::newRow("MySQL") << int(tbMySQL) << "  ID_CONFIG INT NOT NULL," << "  SQL_COMANDO LONGTEXT,"
                               << "'S', 'S', NOW());";
        QTest::newRow("Firebird") << int(tbFirebird) << "  ID_CONFIG INTEGER NOT NULL,"
                                  << "  SQL_COMANDO BLOB SUB_TYPE TEXT," << "'S', 'S', CURRENT_TIMESTAMP);";
        QTest::newRow("Oracle") << int(tbOracle) << "  ID_CONFIG NUMBER(10) NOT NULL," << "  SQL_COMANDO CLOB,"
                                << "'S', 'S', CURRENT_TIMESTAMP);";
        QTest::newRow("SQL Server") << int(tbSQLServer) << "  ID_CONFIG INT NOT NULL,"
                                    << "  SQL_COMANDO VARCHAR(MAX)," << "'S', 'S', GETDATE());";
        QTest::newRow("SQLite") << int(tbSQLite) << "  ID_CONFIG INTEGER NOT NULL," << "  SQL_COMANDO TEXT,"
                                << "'S', 'S', CURRENT_TIMESTAMP);";
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL) << "  ID_CONFIG INTEGER NOT NULL,"
                                    << "  SQL_COMANDO TEXT," << "'S', 'S', CURRENT_TIMESTAMP);";
    }

    void eachKindMatchesTheTemplate()
    {
        QFETCH(int, kind);
        QFETCH(QString, line2);
        QFETCH(QString, line20);
        QFETCH(QString, line85End);
        const auto k = static_cast<TTipoBanco>(kind);
        const std::string script = ScriptFor(k);

        QCOMPARE(script, Derive(MySqlFixture(), DialectWordsFor(k)));
        const QStringList lines = Lines(script);
        QCOMPARE(lines.size(), 87);
        QVERIFY(!QString::fromStdString(script).endsWith(QStringLiteral("\r\n")));
        QCOMPARE(QString::fromStdString(script).count(QLatin1Char('\n')), 86);
        QCOMPARE(QString::fromStdString(script).count(QLatin1Char('\r')), 86);
        QCOMPARE(lines[1], line2);
        QCOMPARE(lines[19], line20);
        QVERIFY(lines[84].endsWith(line85End));
        QVERIFY(lines[84].contains(QStringLiteral("'http://localhost:9000'")));
        for (const QChar c : QString::fromStdString(script))
            QVERIFY(c.unicode() < 128 && (c.unicode() >= 32 || c == QLatin1Char('\r') || c == QLatin1Char('\n')));
        QCOMPARE(SplitStatements(script).size(), size_t(13));
        QCOMPARE(ScriptFor(k), script);  // no time of its own
    }

    void mySqlTextIsTheFixture() { QCOMPARE(ScriptFor(tbMySQL), MySqlFixture()); }

    void oracleUsesItsIntegerTypeEverywhere()
    {
        const QString s = QString::fromStdString(ScriptFor(tbOracle));
        QCOMPARE(s.count(QStringLiteral("NUMBER(10)")), 14);
        QVERIFY(s.contains(QStringLiteral("  PORTA NUMBER(10) DEFAULT 9000,")));
        QVERIFY(s.contains(QStringLiteral("  ULTIMO_ID NUMBER(10) DEFAULT 0,")));
        QVERIFY(s.contains(QStringLiteral("  URL_BASE VARCHAR2(200),")));
        QCOMPARE(s.count(QStringLiteral("CHAR(1)")), 7);
    }

    void wordsAreInsertedAsGiven()
    {
        const QString s = QString::fromStdString(GerarScriptPadrao("I", "V", "T", "D", "N"));
        QCOMPARE(s.count(QRegularExpression(QStringLiteral(" I[ ,]"))), 14);
        QCOMPARE(s.count(QStringLiteral(" V(")), 19);
        QCOMPARE(s.count(QStringLiteral(" T,")), 4);
        QCOMPARE(s.count(QStringLiteral(" D,")), 6);
        QVERIFY(s.contains(QStringLiteral("'S', 'S', N);")));
    }
};

QTEST_APPLESS_MAIN(SchemaScriptTest)
#include "test_schema_script.moc"
