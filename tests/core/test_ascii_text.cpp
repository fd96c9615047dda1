// The ASCII-only text helpers: a to z change case, every other byte (UTF-8's
// included) stays, whatever the locale.
#include "core/AsciiText.h"

#include <QtTest>

#include <clocale>

using namespace brivel;

class AsciiTextTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A locale whose case tables know more than ASCII must change nothing here.
        std::setlocale(LC_ALL, "");
    }

    void trimControl_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("blanks, tabs and line breaks") << QByteArray(" \t\r\n a b \r\n\t ") << QByteArray("a b");
        QTest::newRow("other control characters") << QByteArray("\x01\x1f" "x" "\x7f", 4) << QByteArray("x\x7f");
        QTest::newRow("NUL counts as a control") << QByteArray("\0x\0", 3) << QByteArray("x");
        QTest::newRow("only blanks") << QByteArray(" \t ") << QByteArray();
        QTest::newRow("UTF-8 at the ends stays") << QByteArray(" ção ") << QByteArray("ção");
    }
    void trimControl()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(QByteArray::fromStdString(TrimControl(text.toStdString())), expected);
    }

    void changesCaseOfAsciiLettersOnly()
    {
        QCOMPARE(UpperAscii(std::string("ação/Zz9 é")), std::string("AçãO/ZZ9 é"));
        QCOMPARE(LowerAscii(std::string("AÇÃO/Zz9 É")), std::string("aÇÃo/zz9 É"));
        QCOMPARE(UpperAscii('q'), 'Q');
        QCOMPARE(LowerAscii('@'), '@');  // the byte before 'A'
        QCOMPARE(UpperAscii('`'), '`');  // the byte before 'a'
    }

    void equalIgnoringCase_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<bool>("equal");
        QTest::newRow("letter case aside") << QByteArray("Qtd") << QByteArray("QTD") << true;
        QTest::newRow("non-ASCII bytes compared as they are") << QByteArray("AÇÃO") << QByteArray("aÇÃo") << true;
        QTest::newRow("non-ASCII letters keep their case") << QByteArray("ação") << QByteArray("AÇÃO") << false;
        QTest::newRow("a prefix is not equal") << QByteArray("QTD") << QByteArray("QTD_") << false;
        QTest::newRow("both empty") << QByteArray() << QByteArray() << true;
        QTest::newRow("'@' is not '`'") << QByteArray("@") << QByteArray("`") << false;
    }
    void equalIgnoringCase()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(bool, equal);
        QCOMPARE(EqualIgnoringAsciiCase(a.toStdString(), b.toStdString()), equal);
        QCOMPARE(EqualIgnoringAsciiCase(b.toStdString(), a.toStdString()), equal);
    }
};

QTEST_APPLESS_MAIN(AsciiTextTest)
#include "test_ascii_text.moc"
