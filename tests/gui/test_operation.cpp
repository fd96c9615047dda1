// The window while the database works, on the real servers: a second session
// holds up the installation's first CREATE TABLE (PostgreSQL and Firebird: the
// same table created in a transaction left open; MariaDB: a global read lock;
// SQLite: a write lock, within its busy wait). The window must stay alive, take
// "Cancelar" and the close button, and end a wait that outlives the bound.
#include "db/Connection.h"
#include "support/DatabaseTarget.h"
#include "support/ModalBoxes.h"
#include "support/SessionHolder.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;
using namespace std::chrono_literals;

namespace {

const QString kAdvice = QStringLiteral("\r\n\r\nVocê pode copiar ou salvar o script e executar manualmente no banco.");
const QString kQuestionTitle = QStringLiteral("Confirmação");

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Calls `onHeld` once, from the window's event loop, when the installation's
// held statement has been announced and is running.
class WhenHeld {
public:
    WhenHeld(Wizard& wz, std::function<void()> onHeld) : wz_(wz), onHeld_(std::move(onHeld))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (fired || !wz_.logMessages().contains(QStringLiteral("Executando comando...")) ||
                !wz_.window().FDConnection().operationRunning())
                return;
            fired = true;
            onHeld_();
        });
        timer_.start(5);
    }
    bool fired = false;

private:
    Wizard& wz_;
    std::function<void()> onHeld_;
    QTimer timer_;
};

// Ready on the installation page of a fresh database of `kind`.
#define READY(kind, wz, t)                                                                                       \
    Wizard wz;                                                                                                   \
    wz.linkLibpq();                                                                                              \
    DatabaseTarget t;                                                                                            \
    BRIVEL_REQUIRE(t.prepare(kind, wz.exeFolder()));                                                             \
    {                                                                                                            \
        const auto test_ = wz.testConnection(kind, t.login);                                                     \
        QVERIFY2(test_.isEmpty(), test_.isEmpty() ? "" : qPrintable(test_[0].message));                          \
    }

} // namespace

class OperationTest : public QObject {
    Q_OBJECT
private slots:
    void windowLivesWhileAStatementIsHeld_data() { AddDatabaseKinds(); }
    void windowLivesWhileAStatementIsHeld()
    {
        QFETCH(int, kind);
        READY(kind, wz, t);
        SessionHolder holder;
        BRIVEL_REQUIRE(holder.take(t));

        PaintCounter counter;
        QWidget* script = wz.memo("memScript")->viewport();
        script->installEventFilter(&counter);
        QStringList logWhileHeld;
        int paintsBefore = -1;
        bool repainted = false, busyPointer = false;
        QTimer repaintCheck;
        WhenHeld held(wz, [&] {
            logWhileHeld = InstallLog(wz);
            busyPointer = QGuiApplication::overrideCursor() &&
                          QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            paintsBefore = counter.paints;
            script->update();
            // Released only once the window has painted while the statement waits.
            QObject::connect(&repaintCheck, &QTimer::timeout, [&] {
                if (counter.paints == paintsBefore || repainted)
                    return;
                repainted = true;
                holder.release();
            });
            repaintCheck.start(5);
        });
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");

        QVERIFY(held.fired);
        QVERIFY(repainted);
        QVERIFY(busyPointer);
        QCOMPARE(logWhileHeld, (QStringList{"Banco selecionado: " + wz.window().NomeBancoSelecionado(),
                                            "Verificando estrutura existente...", "Criando estrutura do Brivel...",
                                            "Executando comando..."}));
        // Once released, the installation goes on as ever: same lines, same order.
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        QStringList expected{logWhileHeld.mid(0, 3)};
        for (int i = 0; i < 13; ++i)
            expected << "Executando comando...";
        expected << "Estrutura criada com sucesso." << "Conexão encerrada.";
        QCOMPARE(InstallLog(wz), expected);
        QCOMPARE(wz.pageName(), QStringLiteral("TabFinal"));
        QCOMPARE(t.brivelTables(), AllBrivelTables());
    }

    void cancelStopsTheInstallationAndLeavesNothing_data() { AddDatabaseKinds(); }
    void cancelStopsTheInstallationAndLeavesNothing()
    {
        QFETCH(int, kind);
        READY(kind, wz, t);
        SessionHolder holder;
        BRIVEL_REQUIRE(holder.take(t));

        WhenHeld held(wz, [&] { QTest::mouseClick(wz.button("btnCancelar"), Qt::LeftButton); });
        ModalBoxes boxes;
        boxes.answer = [](QMessageBox* box) {
            return box->windowTitle() == kQuestionTitle ? QMessageBox::Yes : QMessageBox::Ok;
        };
        wz.click("btnCriarEstrutura");

        QVERIFY(held.fired);
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[0].title, kQuestionTitle);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Question);
        QVERIFY(boxes.seen[0].message.contains(QStringLiteral("Deseja interrompê-la?")));
        QCOMPARE(boxes.seen[1].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen[1].message, "Erro ao criar estrutura:\r\n\r\nInstalação cancelada." + kAdvice);
        const QStringList log = InstallLog(wz);
        QCOMPARE(log.mid(log.size() - 2),
                 (QStringList{"Erro ao criar estrutura: Instalação cancelada.", "Conexão encerrada."}));
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
        QVERIFY(wz.window().isVisible());  // "Cancelar" stopped the operation, not the program
        QCOMPARE(t.brivelTables(), QStringList());

        // Nothing of the run is left: once the other session lets go, a new run installs everything.
        holder.release();
        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, QStringLiteral("Estrutura criada com sucesso."));
        QCOMPARE(t.brivelTables(), AllBrivelTables());
    }

    // Completing a partial structure runs like an installation: "Cancelar" stops the
    // held CREATE TABLE and leaves the structure as it was.
    void cancelStopsTheCompletionAndLeavesItAsBefore_data() { AddDatabaseKinds(); }
    void cancelStopsTheCompletionAndLeavesItAsBefore()
    {
        QFETCH(int, kind);
        READY(kind, wz, t);
        {
            ModalBoxes boxes;
            wz.click("btnCriarEstrutura");
        }
        BRIVEL_REQUIRE(t.sql("DROP TABLE API_CONFIG;"));
        SessionHolder holder;
        BRIVEL_REQUIRE(holder.take(t));

        bool held = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (held || !wz.logMessages().contains(QStringLiteral("Completando a estrutura do Brivel...")) ||
                !wz.window().FDConnection().operationRunning())
                return;
            held = true;
            QTest::mouseClick(wz.button("btnCancelar"), Qt::LeftButton);
        });
        watch.start(5);
        ModalBoxes boxes;
        boxes.answer = [](QMessageBox* box) {
            return box->windowTitle() == kQuestionTitle ? QMessageBox::Yes : QMessageBox::Ok;
        };
        wz.click("btnCriarEstrutura");
        watch.stop();

        QVERIFY(held);
        QCOMPARE(boxes.seen.size(), 3);
        QVERIFY(boxes.seen[0].message.contains(QStringLiteral("Deseja completar a instalação")));
        QVERIFY(boxes.seen[1].message.contains(QStringLiteral("Deseja interrompê-la?")));
        QCOMPARE(boxes.seen[2].message, QStringLiteral("Erro ao completar estrutura:\r\n\r\nInstalação cancelada.\r\n\r\n"
                                                       "O que esta execução criou foi desfeito; o banco está como antes."));
        QCOMPARE(InstallLog(wz).last(), QStringLiteral("Conexão encerrada."));
        QVERIFY(wz.window().isVisible());
        holder.release();
        QStringList rest = AllBrivelTables();
        rest.removeAll(QStringLiteral("API_CONFIG"));
        QCOMPARE(t.brivelTables(), rest);

        boxes.seen.clear();
        wz.click("btnCriarEstrutura");
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[1].message, QStringLiteral("Estrutura completada com sucesso."));
        QCOMPARE(t.brivelTables(), AllBrivelTables());
    }

    void closeDuringInstallationCancelsThenClosesAfterTheBox()
    {
        READY(tbPostgreSQL, wz, t);
        SessionHolder holder;
        BRIVEL_REQUIRE(holder.take(t));

        // "Não" first: the installation goes on; then "Sim".
        int questions = 0;
        WhenHeld held(wz, [&] {
            wz.window().close();
            QVERIFY(wz.window().isVisible());
            wz.window().close();
        });
        ModalBoxes boxes;
        boxes.answer = [&](QMessageBox* box) {
            if (box->windowTitle() != kQuestionTitle)
                return QMessageBox::Ok;
            return ++questions == 1 ? QMessageBox::No : QMessageBox::Yes;
        };
        wz.click("btnCriarEstrutura");

        QVERIFY(held.fired);
        QCOMPARE(questions, 2);
        QCOMPARE(boxes.seen.size(), 3);
        QVERIFY(boxes.seen[0].message.contains(QStringLiteral("e fechar o assistente?")));
        QCOMPARE(boxes.seen[2].message, "Erro ao criar estrutura:\r\n\r\nInstalação cancelada." + kAdvice);
        QCOMPARE(InstallLog(wz).last(), QStringLiteral("Conexão encerrada."));
        QTRY_VERIFY(!wz.window().isVisible());  // closed once the box was answered
        QCOMPARE(t.brivelTables(), QStringList());
    }

    // The server takes the connection and never answers; the close's "Sim" ends
    // the connect at once, and the box says the test was cancelled.
    void closeDuringAConnectionTestCancelsItThenCloses_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("MySQL") << int(tbMySQL);
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL);
    }
    void closeDuringAConnectionTestCancelsItThenCloses()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.linkLibpq();
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        bool asked = false;
        QTimer whenConnecting;
        QObject::connect(&whenConnecting, &QTimer::timeout, [&] {
            // The busy pointer is up once the worker connects.
            if (asked || !QGuiApplication::overrideCursor())
                return;
            asked = true;
            wz.window().close();
        });
        whenConnecting.start(5);
        QList<ModalBoxes::Box> seen;
        QElapsedTimer test;
        {
            ModalBoxes boxes;
            boxes.answer = [](QMessageBox* box) {
                return box->windowTitle() == kQuestionTitle ? QMessageBox::Yes : QMessageBox::Ok;
            };
            wz.pages()->setCurrentIndex(2);
            wz.selectKind(kind);
            wz.fillConnection("127.0.0.1", QString::number(silent.port()), "brivel", "root", "x");
            test.start();
            wz.click("btnTestarConexao");
            seen = boxes.seen;
        }
        QVERIFY(asked);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].title, kQuestionTitle);
        QCOMPARE(seen[1].icon, QMessageBox::Critical);
        QCOMPARE(seen[1].message, QStringLiteral("Erro ao conectar ao banco:\r\n\r\nTeste de conexão cancelado."));
        QCOMPARE(wz.label("lblStatusConexao")->text(), QStringLiteral("Erro na conexão."));
        // Not held until the 10 s connect bound.
        qInfo("the cancelled test took %lld ms", test.elapsed());
        QVERIFY2(test.elapsed() < 8000, "the connect waited for its bound");
        QTRY_VERIFY(!wz.window().isVisible());
    }

    void boundEndsAStatementTheServerDoesNotAnswer_data() { AddDatabaseKinds(); }
    void boundEndsAStatementTheServerDoesNotAnswer()
    {
        QFETCH(int, kind);
        READY(kind, wz, t);
        wz.window().FDConnection().setAnswerBound(1s);
        SessionHolder holder;
        BRIVEL_REQUIRE(holder.take(t));

        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        const QString message = QStringLiteral("O servidor não respondeu em 1 segundo; o comando foi cancelado.");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].message, "Erro ao criar estrutura:\r\n\r\n" + message + kAdvice);
        const QStringList log = InstallLog(wz);
        QCOMPARE(log.mid(log.size() - 2), (QStringList{"Erro ao criar estrutura: " + message, "Conexão encerrada."}));
        QCOMPARE(t.brivelTables(), QStringList());
    }

    void logKeepsItsNewestLineInView()
    {
        READY(tbSQLite, wz, t);
        ModalBoxes boxes;
        wz.click("btnCriarEstrutura");
        QCOMPARE(wz.pageName(), QStringLiteral("TabFinal"));
        QPlainTextEdit* log = wz.memo("memLog");
        QTRY_COMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        // The block at the bottom of the visible part is the last one: "Conexão encerrada.".
        const QTextBlock bottom = log->cursorForPosition(QPoint(4, log->viewport()->height() - 4)).block();
        QVERIFY(bottom.text().endsWith(QStringLiteral(" - Conexão encerrada.")));
        QCOMPARE(bottom.blockNumber(), log->document()->blockCount() - 1);
    }
};

BRIVEL_GUI_TEST_MAIN(OperationTest)
#include "test_operation.moc"
