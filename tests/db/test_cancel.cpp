// Cancelling a connect that waits for a server that never answers, and the
// message of the bound on the wait for the server. Cancelling statements, by the
// bound and at the user's request, is part of the adapter contract
// (test_adapter_contract.cpp), on every kind.
#include "db/Connection.h"
#include "db/OperationWatch.h"
#include "support/DbFixtures.h"
#include "support/KindTargets.h"

#include <QtTest>

#include <thread>

using namespace brivel;
using namespace brivel::test;
using namespace std::chrono_literals;

class CancelTest : public QObject {
    Q_OBJECT

private slots:
    // A connect waiting for a server that took the connection and never answers
    // ends once cancelled, well before the connect bound (10 s), where the library
    // lets a connect stop part-way.
    void cancelEndsAConnectThatWaits_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("postgresql") << "postgresql";
        QTest::newRow("mysql") << "mysql";
    }
    void cancelEndsAConnectThatWaits()
    {
        QFETCH(QString, kind);
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        ConnectionFields fields;
        if (kind == "postgresql") {
            PgServer s;
            BRIVEL_REQUIRE(ReadPgServer(s));
            fields = FieldsOf(tbPostgreSQL, s.host, QString::number(silent.port()), s.database, s.user, s.password);
        } else {
            MariaDbServer m;
            BRIVEL_REQUIRE(ReadMariaDbServer(m));
            fields = FieldsOf(tbMySQL, m.host, QString::number(silent.port()), "brivel", m.user, m.password);
        }
        db::Connection c;
        DefineConnection(c, fields);
        QString error;
        std::chrono::steady_clock::time_point ended;
        std::thread worker([&] {
            error = ErrorOf([&] { c.open(); });
            ended = std::chrono::steady_clock::now();
        });
        std::this_thread::sleep_for(500ms);  // the connect now waits for the greeting
        const auto cancelled = std::chrono::steady_clock::now();
        c.cancel();
        worker.join();
        QCOMPARE(error, QString("Operação cancelada pelo usuário."));
        QVERIFY(!c.connected());
        const long long cancelToEnd =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - cancelled).count();
        qInfo("%s: the connect ended %lld ms after the cancel", qPrintable(kind), cancelToEnd);
        QVERIFY2(cancelToEnd >= 0 && cancelToEnd < 5000, "the connect waited for its bound");

        // The cancel stays until cleared, as for statements; then the next connect runs.
        QCOMPARE(ErrorOf([&] { c.open(); }), QString("Operação cancelada pelo usuário."));
        c.clearCancel();
    }

    void noAnswerMessageNamesTheBound()
    {
        QCOMPARE(QString::fromStdString(db::NoAnswerMessage(db::kServerAnswerBound)),
                 QString("O servidor não respondeu em 60 segundos; o comando foi cancelado."));
        QCOMPARE(QString::fromStdString(db::NoAnswerMessage(1500ms)),
                 QString("O servidor não respondeu em 2 segundos; o comando foi cancelado."));
    }
};

QTEST_GUILESS_MAIN(CancelTest)
#include "test_cancel.moc"
