// Keyboard and text details of the window: where the focus goes, Tab in the
// script area, Qt's own texts in Portuguese, server hint lines in boxes.
#include "support/ModalBoxes.h"
#include "support/TestServers.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"

#include <QTabBar>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void focusLeftByASelfDisablingButtonGoesToAvancar()
    {
        Wizard wz;
        wz.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&wz.window()));
        wz.pages()->setCurrentIndex(1);
        wz.window().AtualizarBotoes();
        QPushButton* voltar = wz.button("btnVoltar");
        voltar->setFocus();
        QTest::keyClick(voltar, Qt::Key_Space);  // back to the welcome page: "Voltar" disables itself
        QCOMPARE(wz.page(), 0);
        QCOMPARE(QApplication::focusWidget(), wz.button("btnAvancar"));
        // The next Space goes forward, it does not close the program.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(wz.page(), 1);
        QVERIFY(wz.window().isVisible());
    }

    void focusNeverFallsSilentlyOnTheClosingButton()
    {
        // The final page chosen by its tab, then "Avançar": both navigation buttons
        // disable themselves and only "Fechar" is left.
        Wizard wz;
        wz.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&wz.window()));
        wz.pages()->setCurrentIndex(4);
        QPushButton* avancar = wz.button("btnAvancar");
        avancar->setFocus();
        QTest::keyClick(avancar, Qt::Key_Space);
        QCOMPARE(wz.button("btnCancelar")->text(), QStringLiteral("Fechar"));
        QVERIFY(QApplication::focusWidget() != wz.button("btnCancelar"));
        QCOMPARE(QApplication::focusWidget(), wz.pages()->tabBar());
    }

    void tabInTheScriptAreaMovesTheFocus()
    {
        Wizard wz;
        wz.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&wz.window()));
        wz.pages()->setCurrentIndex(3);
        wz.window().AtualizarBotoes();
        QPlainTextEdit* script = wz.memo("memScript");
        const QString before = wz.window().textoScript();
        script->setFocus();
        QTest::keyClick(script, Qt::Key_Tab);
        QVERIFY(!script->hasFocus());
        QCOMPARE(wz.window().textoScript(), before);
        QVERIFY(!wz.window().textoScript().contains(QLatin1Char('\t')));
    }

    void qtsOwnTextsArePortuguese()
    {
        Wizard wz;
        wz.pages()->setCurrentIndex(3);
        wz.window().AtualizarBotoes();
        wz.button("btnSalvarScript")->setVisible(true);
        FileDialogAnswer answer{QString()};  // cancelled
        wz.click("btnSalvarScript");
        QVERIFY(answer.shown());
        const QString texts = answer.texts.join(QLatin1Char('|'));
        for (const char* english : {"Look in:", "File &name:", "Files of type:", "Cancel", "&Save"})
            QVERIFY2(!answer.texts.contains(QString::fromLatin1(english)), qPrintable(texts));
        QVERIFY2(answer.texts.contains(QStringLiteral("Cancelar")), qPrintable(texts));
        QVERIFY2(answer.texts.contains(QStringLiteral("&Salvar")), qPrintable(texts));
    }

    void serverHintLinesShowFlushInBoxes()
    {
        QCOMPARE(ui::BoxText(QStringLiteral("Erro:\r\n\r\nfailed: Connection refused\n\tIs the server running?")),
                 QStringLiteral("Erro:\n\nfailed: Connection refused\nIs the server running?"));

        // libpq's own refusal, through the real connection test.
        Wizard wz;
        wz.linkLibpq();
        const quint16 port = FreePort();
        QVERIFY(port != 0);
        const auto seen =
            wz.testConnection(tbPostgreSQL, {"127.0.0.1", QString::number(port), "brivel", "brivel", "x"});
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].message.contains(QStringLiteral("\n\tIs the server running")), qPrintable(seen[0].message));
        QVERIFY(!seen[0].text.contains(QLatin1Char('\t')));
        QVERIFY(seen[0].text.contains(QStringLiteral("\nIs the server running")));
    }
};

BRIVEL_GUI_TEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"
