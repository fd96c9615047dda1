#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"

#include <QtTest>

using namespace brivel;

Q_DECLARE_METATYPE(std::vector<ScriptStatement>)

namespace {
QStringList Describe(const std::vector<ScriptStatement>& st)
{
    QStringList out;
    for (const auto& s : st)
        out << (s.logged ? QStringLiteral("L:") : QStringLiteral("U:")) + QString::fromStdString(s.sql);
    return out;
}
} // namespace

class StatementSplitterTest : public QObject {
    Q_OBJECT
private slots:
    void splits_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected");  // "L:" logged, "U:" trailing unlogged
        QTest::newRow("one per line") << "A;\r\nB;" << QStringList{"L:A", "L:B"};
        QTest::newRow("multi-line keeps CR LF and inner indentation")
            << "CREATE (\r\n  X,\r\n  Y\r\n);" << QStringList{"L:CREATE (\r\n  X,\r\n  Y\r\n)"};
        QTest::newRow("only the final semicolon is removed") << "SELECT ';' ;" << QStringList{"L:SELECT ';'"};
        QTest::newRow("semicolon inside a line does not end") << "A; B\r\nC;" << QStringList{"L:A; B\r\nC"};
        QTest::newRow("lone semicolon completes collected lines") << "A\r\n;" << QStringList{"L:A"};
        QTest::newRow("lone semicolon with nothing collected") << ";\r\nB;" << QStringList{"L:B"};
        QTest::newRow("blank and comment lines skipped")
            << "\r\n  -- note;\r\n\t\r\nA;\r\n-- end" << QStringList{"L:A"};
        QTest::newRow("comment after code stays") << "A -- c\r\n;" << QStringList{"L:A -- c"};
        QTest::newRow("text after the last semicolon runs unlogged, unchanged")
            << "A;\r\n  B;x  \r\n  C  " << QStringList{"L:A", "U:B;x  \r\n  C"};
        QTest::newRow("only blanks and comments after the last") << "A;\r\n\r\n-- x\r\n  " << QStringList{"L:A"};
        QTest::newRow("lone CR and lone LF end lines") << "A\rB;\nC;" << QStringList{"L:A\r\nB", "L:C"};
        QTest::newRow("tabs and control characters trimmed") << "\tA\t;\t" << QStringList{"L:A"};
        QTest::newRow("empty script") << "" << QStringList{};
    }

    void splits()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        QCOMPARE(Describe(SplitStatements(script.toStdString())), expected);
    }

    void generatedScriptGivesThirteenStatements()
    {
        const auto st = SplitStatements(ScriptFor(tbPostgreSQL));
        QCOMPARE(st.size(), size_t(13));
        for (const auto& s : st) {
            QVERIFY(s.logged);
            QVERIFY(s.sql.back() != ';');
        }
        QCOMPARE(QString::fromStdString(st[11].sql),
                 QStringLiteral("INSERT INTO API_CONFIG \r\n(ID_CONFIG, PORTA, URL_BASE, USAR_TOKEN, TOKEN_API, "
                                "TIMEOUT_SEGUNDOS, LIMITE_REGISTROS, SALVAR_LOG, ATIVO, DT_CADASTRO)\r\nVALUES "
                                "\r\n(1, 9000, 'http://localhost:9000', 'N', NULL, 30, 1000, 'S', 'S', "
                                "CURRENT_TIMESTAMP)"));
        QVERIFY(QString::fromStdString(st[0].sql).startsWith(QStringLiteral("CREATE TABLE API_CONFIG (\r\n  ID_CONFIG")));
        QVERIFY(QString::fromStdString(st[0].sql).endsWith(QStringLiteral("(ID_CONFIG)\r\n)")));
    }
};

QTEST_APPLESS_MAIN(StatementSplitterTest)
#include "test_statement_splitter.moc"
