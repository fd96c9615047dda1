// The activity log's line format under the user's regional separators (set by the test's locale).
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QtTest>

#include <ctime>

using namespace brivel::test;

class LogTest : public QObject {
    Q_OBJECT
private slots:
    void linesCarryTheRegionalTimestamp()
    {
        const QString dateSep = qEnvironmentVariable("BRIVEL_EXPECT_DATE_SEP");
        const QString timeSep = qEnvironmentVariable("BRIVEL_EXPECT_TIME_SEP");
        QVERIFY2(!dateSep.isEmpty() && !timeSep.isEmpty(), "run through ctest, which sets the locale");
        Wizard wz;
        auto stamp = [&](const QDateTime& t) {
            return t.toString(QStringLiteral("dd'%1'MM'%1'yyyy HH'%2'mm'%2'ss").arg(dateSep, timeSep));
        };
        // The window stamps with std::time, whose second can still be the previous one
        // a few milliseconds after QDateTime's clock has moved on: bound it by that clock.
        const QDateTime before = QDateTime::fromSecsSinceEpoch(std::time(nullptr));
        wz.window().Log(QStringLiteral("Conexão realizada com sucesso."));
        wz.window().Log(QStringLiteral("linha 1\r\nlinha 2"));
        wz.window().Log(QString());
        const QDateTime after = QDateTime::fromSecsSinceEpoch(std::time(nullptr));

        const QStringList lines = wz.logLines();
        QCOMPARE(lines.size(), 4);
        const QString first = lines[0];
        QVERIFY2(first == stamp(before) + " - Conexão realizada com sucesso." ||
                     first == stamp(after) + " - Conexão realizada com sucesso.",
                 qPrintable(first));
        QCOMPARE(first.indexOf(QStringLiteral(" - ")), 19);
        QCOMPARE(lines[1].mid(19), QStringLiteral(" - linha 1"));
        QCOMPARE(lines[2], QStringLiteral("linha 2"));  // only the first line is stamped
        QVERIFY(lines[3].endsWith(QStringLiteral(" - ")));
        QCOMPARE(lines[3].size(), 22);
    }
};

BRIVEL_GUI_TEST_MAIN(LogTest)
#include "test_log.moc"
