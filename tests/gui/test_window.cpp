// The wizard window: start state, layout, navigation, kinds, script page, log and failure display.
#include "core/AppPaths.h"
#include "core/SchemaScript.h"
#include "support/ModalBoxes.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/PngIcon.h"
#include "ui/WaitCursor.h"

#include <QClipboard>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startState()
    {
        Wizard wz;
        TFrmSetupBrivelDB& w = wz.window();
        QCOMPARE(w.objectName(), QStringLiteral("FrmSetupBrivelDB"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Assistente de Configuração do Banco - Brivel"));
        QCOMPARE(wz.page(), 0);
        QStringList tabs;
        for (int i = 0; i < wz.pages()->count(); ++i)
            tabs << wz.pages()->tabText(i);
        QCOMPARE(tabs, (QStringList{"Boas-vindas", "Informações", "Conexão", "Instalação", "Finalização"}));
        QStringList pageNames;
        for (int i = 0; i < wz.pages()->count(); ++i)
            pageNames << wz.pages()->widget(i)->objectName();
        QCOMPARE(pageNames,
                 (QStringList{"TabBoasVindas", "TabExplicacao", "TabConexao", "TabExecucao", "TabFinal"}));

        QStringList kinds;
        for (int i = 0; i < wz.kinds()->count(); ++i)
            kinds << wz.kinds()->itemText(i);
        QCOMPARE(kinds, (QStringList{"MySQL", "Firebird", "Oracle", "SQL Server", "SQLite", "PostgreSQL"}));
        QCOMPARE(wz.kinds()->currentIndex(), 0);
        QVERIFY(wz.kinds()->isEditable());
        QCOMPARE(wz.edit("edtServidor")->text(), QStringLiteral("localhost"));
        QCOMPARE(wz.edit("edtPorta")->text(), QStringLiteral("3306"));
        QVERIFY(wz.edit("edtDatabase")->text().isEmpty());
        QVERIFY(wz.edit("edtUsuario")->text().isEmpty());
        QVERIFY(wz.edit("edtSenha")->text().isEmpty());
        QCOMPARE(wz.edit("edtSenha")->echoMode(), QLineEdit::Password);
        QVERIFY(wz.label("lblStatusConexao")->text().isEmpty());
        QCOMPARE(wz.label("lblBanco")->text(), QStringLiteral("Tipo de Banco de Dados"));
        QCOMPARE(wz.label("lblServidor")->text(), QStringLiteral("Servidor"));
        QCOMPARE(wz.label("lblDatabase")->text(), QStringLiteral("Banco / Base / Service Name"));
        QCOMPARE(wz.label("lblPorta")->text(), QStringLiteral("Porta"));
        QCOMPARE(wz.label("lblUsuario")->text(), QStringLiteral("Usuário"));
        QCOMPARE(wz.label("lblSenha")->text(), QStringLiteral("Senha"));
        QCOMPARE(wz.button("btnTestarConexao")->text(), QStringLiteral("Testar Conexão"));
        QVERIFY(!w.conexaoOk());

        struct B {
            const char* name;
            const char* caption;
            bool visible;
            bool enabled;
        };
        for (const B& b : {B{"btnAvancar", "Avançar", true, true}, B{"btnVoltar", "Voltar", true, false},
                           B{"btnCancelar", "Cancelar", true, true}, B{"btnSalvarScript", "Salvar Script", false, true},
                           B{"btnCopiarScript", " Copiar Script", false, true},
                           B{"btnCriarEstrutura", "Criar Estrutura", false, true}}) {
            QPushButton* p = wz.button(b.name);
            QCOMPARE(p->text(), QString::fromUtf8(b.caption));
            QCOMPARE(p->isVisible(), b.visible);
            QCOMPARE(p->isEnabled(), b.enabled);
            QVERIFY(!p->isDefault() && !p->autoDefault());
        }
        QVERIFY(!wz.get<QToolButton>("btnArquivo")->isVisible());
        QVERIFY(wz.memo("memScript")->toPlainText().isEmpty());
        QVERIFY(wz.memo("memLog")->toPlainText().isEmpty());
    }

    void fixedTexts()
    {
        Wizard wz;
        const QStringList welcome = wz.memo("memBoasVindas")->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(welcome.size(), 13);
        QCOMPARE(welcome.first(), QStringLiteral("Bem-vindo ao Assistente de Configuração do Brivel"));
        QCOMPARE(welcome[5], QStringLiteral("- MySQL"));
        QCOMPARE(welcome.last(), QStringLiteral("Clique em Avançar para continuar."));
        const QStringList info = wz.memo("memExplicacao")->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(info.size(), 26);
        QCOMPARE(info.first(), QStringLiteral("Criação das Estruturas Necessárias"));
        QCOMPARE(info[16], QStringLiteral("- Apenas novas tabelas com o prefixo API_ serão criadas"));
        QCOMPARE(info.last(), QStringLiteral("Clique em \"Avançar\" para prosseguir."));

        for (const char* name : {"memBoasVindas", "memExplicacao", "memLog"}) {
            QPlainTextEdit* m = wz.memo(name);
            QVERIFY2(m->isReadOnly(), name);
            QCOMPARE(m->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QCOMPARE(m->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        }
        QPlainTextEdit* script = wz.memo("memScript");
        QVERIFY(!script->isReadOnly());
        QCOMPARE(script->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(script->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(script->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void layoutAndWindowFrame()
    {
        Wizard wz;
        TFrmSetupBrivelDB& w = wz.window();
        const Qt::WindowFlags f = w.windowFlags();
        QVERIFY(f & Qt::WindowSystemMenuHint);
        QVERIFY(f & Qt::WindowCloseButtonHint);
        QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.frameGeometry().size(), QSize(800, 450));
        QCOMPARE(w.font().family(), QStringLiteral("Segoe UI"));
        QCOMPARE(w.font().pointSize(), 9);

        struct G {
            const char* name;
            QRect rect;
        };
        for (const G& g : {G{"cbBanco", {3, 28, 294, 23}}, G{"edtServidor", {3, 78, 294, 23}},
                           G{"edtDatabase", {3, 128, 294, 23}}, G{"btnArquivo", {303, 129, 23, 22}},
                           G{"edtPorta", {3, 178, 294, 23}}, G{"edtUsuario", {412, 32, 194, 23}},
                           G{"edtSenha", {412, 82, 194, 23}}, G{"btnTestarConexao", {412, 177, 194, 25}},
                           G{"btnAvancar", {8, 27, 98, 25}}, G{"btnVoltar", {120, 27, 98, 25}},
                           G{"btnCancelar", {232, 27, 98, 25}}, G{"btnSalvarScript", {402, 27, 98, 25}},
                           G{"btnCopiarScript", {512, 27, 98, 25}}, G{"btnCriarEstrutura", {622, 26, 98, 25}}})
            QCOMPARE(wz.get<QWidget>(g.name)->geometry(), g.rect);
        for (const auto& [name, pos] : {std::pair{"lblBanco", QPoint(3, 7)}, std::pair{"lblServidor", QPoint(3, 57)},
                                        std::pair{"lblDatabase", QPoint(3, 107)}, std::pair{"lblPorta", QPoint(3, 157)},
                                        std::pair{"lblStatusConexao", QPoint(3, 207)},
                                        std::pair{"lblUsuario", QPoint(412, 7)}, std::pair{"lblSenha", QPoint(412, 61)}})
            QCOMPARE(wz.label(name)->pos(), pos);
        QCOMPARE(wz.get<QToolButton>("btnArquivo")->focusPolicy(), Qt::NoFocus);
        // The icons are read by Qt's PNG reader alone: they must still come out whole.
        QCOMPARE(wz.get<QToolButton>("btnArquivo")->icon().pixmap(16, 16).toImage().size(), QSize(16, 16));
        QVERIFY(!ui::PngIcon(QStringLiteral(":/res/SetupBrivelDB.png")).pixmap(32, 32).toImage().isNull());

        // Tab order: down the left column, then the right one.
        QStringList order;
        QWidget* cur = wz.kinds();
        for (int i = 0; i < 7; ++i) {
            order << cur->objectName();
            cur = cur->nextInFocusChain();
            while (cur->focusPolicy() == Qt::NoFocus || cur->objectName().isEmpty() ||
                   cur->objectName().startsWith(QLatin1String("qt_")))
                cur = cur->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"cbBanco", "edtServidor", "edtDatabase", "edtPorta", "edtUsuario", "edtSenha",
                                     "btnTestarConexao"}));

        // Resizing: the pages follow, the bottom panel keeps 68 at the bottom, controls keep their place.
        QWidget* panel = wz.get<QWidget>("PanelBottom");
        for (const QSize size : {QSize(800, 450), QSize(1000, 600), QSize(700, 400)}) {
            w.resize(size);
            QCoreApplication::processEvents();
            QCOMPARE(panel->height(), 68);
            QCOMPARE(panel->geometry().bottom(), w.height() - 1);
            QCOMPARE(panel->width(), w.width());
            QCOMPARE(wz.pages()->geometry(), QRect(0, 0, w.width(), w.height() - 68));
            QCOMPARE(wz.button("btnAvancar")->pos(), QPoint(8, 27));
            wz.pages()->setCurrentIndex(3);
            QCoreApplication::processEvents();
            QCOMPARE(wz.memo("memScript")->geometry(), wz.pages()->currentWidget()->rect());
        }
    }

    void navigation()
    {
        Wizard wz;
        struct State {
            int page;
            bool back, forward;
            const char* cancel;
        };
        auto check = [&](const State& s) {
            QCOMPARE(wz.page(), s.page);
            QCOMPARE(wz.button("btnVoltar")->isEnabled(), s.back);
            QCOMPARE(wz.button("btnAvancar")->isEnabled(), s.forward);
            QCOMPARE(wz.button("btnCancelar")->text(), QString::fromUtf8(s.cancel));
        };
        check({0, false, true, "Cancelar"});
        wz.click("btnAvancar");
        check({1, true, true, "Cancelar"});
        wz.click("btnAvancar");
        check({2, true, false, "Cancelar"});  // no successful test yet
        wz.click("btnAvancar");               // disabled: nothing happens
        check({2, true, false, "Cancelar"});
        wz.click("btnVoltar");
        check({1, true, true, "Cancelar"});
        wz.click("btnVoltar");
        check({0, false, true, "Cancelar"});

        // The tab strip changes the page without refreshing anything.
        wz.pages()->setCurrentIndex(4);
        check({4, false, true, "Cancelar"});
        wz.click("btnAvancar");  // last page: no move, then the refresh
        check({4, false, false, "Fechar"});

        wz.pages()->setCurrentIndex(3);  // Instalação by its tab: the script is not generated
        QVERIFY(wz.memo("memScript")->toPlainText().isEmpty());
        wz.pages()->setCurrentIndex(2);
        wz.click("btnVoltar");
        wz.click("btnAvancar");
        QCOMPARE(wz.page(), 2);
    }

    void installationPageShowsTheSelectedKindsScript_data()
    {
        QTest::addColumn<int>("kind");
        for (int k = 0; k < 6; ++k)
            QTest::newRow(DisplayName(static_cast<TTipoBanco>(k))) << k;
    }

    void installationPageShowsTheSelectedKindsScript()
    {
        QFETCH(int, kind);
        Wizard wz;
        wz.selectKind(kind);
        wz.click("btnAvancar");           // page 1: "Voltar" enabled
        wz.pages()->setCurrentIndex(4);   // by the tab strip
        wz.click("btnVoltar");            // reaches Instalação through a button: the refresh regenerates
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
        QCOMPARE(wz.window().textoScript().toStdString(), ScriptFor(static_cast<TTipoBanco>(kind)));
        QVERIFY(!wz.button("btnAvancar")->isEnabled());
        QVERIFY(wz.button("btnVoltar")->isEnabled());

        // Edits are lost at the next refresh on this page.
        QTest::keyClicks(wz.memo("memScript"), "edit");
        QVERIFY(wz.window().textoScript().toStdString() != ScriptFor(static_cast<TTipoBanco>(kind)));
        wz.click("btnVoltar");
        wz.pages()->setCurrentIndex(3);
        wz.window().AtualizarBotoes();
        QCOMPARE(wz.window().textoScript().toStdString(), ScriptFor(static_cast<TTipoBanco>(kind)));
    }

    void kindsAdaptThePage_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("dbCaption");
        QTest::addColumn<bool>("serverFieldsEnabled");
        QTest::addColumn<bool>("fileButton");
        QTest::newRow("Firebird") << 1 << "3050" << "Banco / Base / Service Name" << true << true;
        QTest::newRow("Oracle") << 2 << "1521" << "Banco / Base / Service Name" << true << false;
        QTest::newRow("SQL Server") << 3 << "1433" << "Banco / Base / Service Name" << true << false;
        QTest::newRow("SQLite") << 4 << "" << "Arquivo SQLite" << false << true;
        QTest::newRow("PostgreSQL") << 5 << "5432" << "Banco / Base / Service Name" << true << false;
        QTest::newRow("MySQL") << 0 << "3306" << "Banco / Base / Service Name" << true << false;
    }

    void kindsAdaptThePage()
    {
        QFETCH(int, kind);
        QFETCH(QString, port);
        QFETCH(QString, dbCaption);
        QFETCH(bool, serverFieldsEnabled);
        QFETCH(bool, fileButton);
        Wizard wz;
        wz.pages()->setCurrentIndex(2);
        wz.fillConnection("db.example", "3307", "", "usr", "pw");
        if (kind == 0)
            wz.selectKind(1);  // so that MySQL is a change too
        wz.selectKind(kind);
        QCOMPARE(wz.edit("edtPorta")->text(), port);
        QCOMPARE(wz.label("lblDatabase")->text(), dbCaption);
        QCOMPARE(wz.label("lblServidor")->text(), QStringLiteral("Servidor"));
        QCOMPARE(wz.label("lblPorta")->text(), QStringLiteral("Porta"));
        QCOMPARE(wz.get<QToolButton>("btnArquivo")->isVisible(), fileButton);
        QVERIFY(wz.edit("edtDatabase")->isEnabled());
        for (const char* name : {"edtServidor", "edtPorta", "edtUsuario", "edtSenha"})
            QCOMPARE(wz.edit(name)->isEnabled(), serverFieldsEnabled);
        if (serverFieldsEnabled) {
            QCOMPARE(wz.edit("edtServidor")->text(), QStringLiteral("db.example"));
            QCOMPARE(wz.edit("edtUsuario")->text(), QStringLiteral("usr"));
            QCOMPARE(wz.edit("edtSenha")->text(), QStringLiteral("pw"));
            QVERIFY(wz.edit("edtDatabase")->text().isEmpty());
        } else {
            for (const char* name : {"edtServidor", "edtPorta", "edtUsuario", "edtSenha"})
                QVERIFY(wz.edit(name)->text().isEmpty());
            QCOMPARE(wz.edit("edtDatabase")->text(),
                     QDir::toNativeSeparators(QString::fromStdString(ExecutableFolder()) + "brivel.db"));
            QVERIFY(wz.edit("edtDatabase")->text().startsWith(QDir::toNativeSeparators(wz.exeFolder().path())));
        }
        QVERIFY(!wz.button("btnAvancar")->isEnabled());
    }

    void kindChangesKeepOrRestoreTexts()
    {
        Wizard wz;
        wz.pages()->setCurrentIndex(2);
        wz.edit("edtDatabase")->setText("vendas");
        wz.selectKind(4);  // a typed name survives the move to SQLite
        QCOMPARE(wz.edit("edtDatabase")->text(), QStringLiteral("vendas"));
        wz.edit("edtDatabase")->clear();
        wz.selectKind(5);
        wz.selectKind(4);
        const QString file = wz.edit("edtDatabase")->text();
        QVERIFY(file.endsWith(QStringLiteral("brivel.db")));
        wz.selectKind(5);  // back to a server kind: the blank server gets the loopback name
        QCOMPARE(wz.edit("edtServidor")->text(), QStringLiteral("localhost"));
        QCOMPARE(wz.edit("edtPorta")->text(), QStringLiteral("5432"));
        QVERIFY(wz.edit("edtUsuario")->text().isEmpty());
        QCOMPARE(wz.edit("edtDatabase")->text(), file);
        wz.edit("edtPorta")->setText("3307");
        wz.selectKind(1);
        wz.selectKind(0);
        QCOMPARE(wz.edit("edtPorta")->text(), QStringLiteral("3306"));
    }

    void typedKindThatMatchesNothing()
    {
        Wizard wz;
        wz.pages()->setCurrentIndex(2);
        wz.selectKind(4);
        QLineEdit* text = wz.kinds()->lineEdit();
        text->selectAll();
        QTest::keyClicks(text, "Access");
        QCOMPARE(wz.kinds()->currentIndex(), -1);
        QCOMPARE(text->text(), QStringLiteral("Access"));
        QCOMPARE(wz.edit("edtPorta")->text(), QStringLiteral("3306"));
        QVERIFY(!wz.get<QToolButton>("btnArquivo")->isVisible());
        QVERIFY(wz.edit("edtServidor")->isEnabled());
        QCOMPARE(wz.window().TipoBancoSelecionado(), tbMySQL);
        QCOMPARE(wz.window().TipoBancoConfig(), QStringLiteral("MYSQL"));
        {
            ModalBoxes boxes;
            wz.click("btnTestarConexao");
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].message,
                     QStringLiteral("Erro ao conectar ao banco:\r\n\r\nInforme o tipo do banco."));
            QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
            QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        }
        QCOMPARE(wz.label("lblStatusConexao")->text(), QStringLiteral("Erro na conexão."));
        QCOMPARE(wz.label("lblStatusConexao")->palette().color(QPalette::WindowText), QColor(255, 0, 0));

        // Typing an entry's name (any letter case) selects it.
        text->selectAll();
        QTest::keyClicks(text, "postgresql");
        QCOMPARE(wz.kinds()->currentIndex(), 5);
        QCOMPARE(wz.edit("edtPorta")->text(), QStringLiteral("5432"));
    }

    void fileButtonFillsTheDatabaseField()
    {
        Wizard wz;
        wz.pages()->setCurrentIndex(2);
        wz.selectKind(1);
        wz.exeFolder().write("dados.fdb", "x");
        const QString before = wz.edit("edtDatabase")->text();
        {
            FileDialogAnswer cancel{QString()};
            QTest::mouseClick(wz.get<QToolButton>("btnArquivo"), Qt::LeftButton);
            QVERIFY(cancel.shown());
        }
        QCOMPARE(wz.edit("edtDatabase")->text(), before);
        {
            FileDialogAnswer pick(wz.exeFolder().file("dados.fdb"));
            QTest::mouseClick(wz.get<QToolButton>("btnArquivo"), Qt::LeftButton);
            QVERIFY(pick.shown());
        }
        // The platform's own separators, as the user types paths there.
        QCOMPARE(wz.edit("edtDatabase")->text(), QDir::toNativeSeparators(wz.exeFolder().file("dados.fdb")));
        QVERIFY(!wz.window().conexaoOk());
    }

    void pastedLineBreaksAreDropped()
    {
        Wizard wz;
        QLineEdit* e = wz.edit("edtUsuario");
        e->insert(QStringLiteral("ad\r\nmin\n"));
        QCOMPARE(e->text(), QStringLiteral("admin"));
        QGuiApplication::clipboard()->setText(QStringLiteral("sen\r\nha"));
        wz.edit("edtSenha")->setFocus();
        wz.edit("edtSenha")->paste();
        QCOMPARE(wz.edit("edtSenha")->text(), QStringLiteral("senha"));
    }

    void topLevelErrorText_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter gets a full stop") << "Falhou" << "Falhou.";
        QTest::newRow("full stop kept") << "Falhou." << "Falhou.";
        QTest::newRow("digit gets one") << "erro 5" << "erro 5.";
        QTest::newRow("closing parenthesis is below the full stop") << "x (y)" << "x (y)";
        QTest::newRow("accented letter") << "não" << "não.";
        QTest::newRow("empty") << "" << "";
    }

    void topLevelErrorText()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ui::TopLevelErrorText(message), shown);
    }

    void failureLeavingAHandlerIsShownAndTheProgramGoesOn()
    {
        Wizard wz;
        // The tested SQLite file's folder is gone when the installer opens the
        // connection again: the open fails outside the installer's own guard.
        QVERIFY(QDir().mkdir(wz.exeFolder().file("dados")));
        QVERIFY(wz.testConnection(tbSQLite, {{}, {}, wz.exeFolder().file("dados/brivel.db"), {}, {}}).isEmpty());
        wz.window().FDConnection().close();
        QVERIFY(QDir(wz.exeFolder().file("dados")).removeRecursively());
        ModalBoxes boxes;
        wz.button("btnCriarEstrutura")->click();
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, ui::ApplicationTitle());
        QCOMPARE(boxes.seen[0].title, QFileInfo(QCoreApplication::applicationFilePath()).baseName());
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY(boxes.seen[0].message.endsWith(QLatin1Char('.')));
        QCOMPARE(wz.pageName(), QStringLiteral("TabExecucao"));
        QVERIFY(InstallLog(wz).isEmpty());  // the open failed: nothing logged, nothing closed

        // An exception escaping any event handler reaches the application's last guard.
        struct Thrower : QObject {
            bool event(QEvent* e) override
            {
                if (e->type() == QEvent::User)
                    throw std::runtime_error("falha inesperada");
                return QObject::event(e);
            }
        } thrower;
        QEvent ev(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &ev);
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[1].message, QStringLiteral("falha inesperada."));
        QVERIFY(wz.window().isVisible());
    }

    void inputDuringAnOperationIsDropped()
    {
        Wizard wz;
        wz.pages()->setCurrentIndex(2);
        wz.edit("edtDatabase")->clear();  // the test fails validation after its first step
        int nestedBoxes = 0;
        ModalBoxes boxes;
        // Fired from inside the running connection test (its first processing of events).
        QTimer::singleShot(0, [&] {
            QTest::mouseClick(wz.button("btnVoltar"), Qt::LeftButton);
            QTest::mouseClick(wz.button("btnTestarConexao"), Qt::LeftButton);
            QTest::keyClick(wz.button("btnCancelar"), Qt::Key_Space);
            wz.window().close();  // deferred until the operation ends
            nestedBoxes = boxes.seen.size();
        });
        wz.click("btnTestarConexao");
        QCOMPARE(nestedBoxes, 0);                  // no second test started inside the first
        QCOMPARE(boxes.seen.size(), 1);            // only the first test's error
        QCOMPARE(wz.pageName(), QStringLiteral("TabConexao"));  // "Voltar" was not run
        QVERIFY(wz.window().isVisible());
        QTRY_VERIFY(!wz.window().isVisible());     // the close request ran afterwards
        // Input goes through again once the operation has ended.
        wz.window().show();
        wz.click("btnVoltar");
        QCOMPARE(wz.page(), 1);
    }

    void busyPointerWhileTheLayerWorks()
    {
        ui::WaitCursor cursor;
        QVERIFY(!QGuiApplication::overrideCursor());
        cursor.busyBegin();
        cursor.busyBegin();  // nested calls of the layer
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        cursor.busyEnd();
        cursor.busyEnd();
        QVERIFY(QGuiApplication::overrideCursor());  // kept a moment after the last call
        QTRY_VERIFY(!QGuiApplication::overrideCursor());

        // The window's connection reports its work to the pointer.
        Wizard wz;
        struct Count : db::BusyObserver {
            int begins = 0, ends = 0;
            void busyBegin() override { ++begins; }
            void busyEnd() override { ++ends; }
        } count;
        wz.window().FDConnection().setBusyObserver(&count);
        wz.window().FDConnection().setDriverID("SQLite");
        wz.window().FDConnection().setParam("Database", wz.exeFolder().file("x.db").toStdString());
        wz.window().FDConnection().open();
        wz.window().FDConnection().execSQL("CREATE TABLE t (a INTEGER)");
        wz.window().FDConnection().close();
        QCOMPARE(count.begins, 3);
        QCOMPARE(count.ends, 3);
    }

    void cancelClosesOnAnyPage_data()
    {
        QTest::addColumn<int>("page");
        for (int p = 0; p < 5; ++p)
            QTest::newRow(qPrintable(QString::number(p))) << p;
    }

    void cancelClosesOnAnyPage()
    {
        QFETCH(int, page);
        Wizard wz;
        wz.pages()->setCurrentIndex(page);
        wz.window().AtualizarBotoes();
        wz.click("btnCancelar");
        QVERIFY(!wz.window().isVisible());
    }
};

BRIVEL_GUI_TEST_MAIN(WindowTest)
#include "test_window.moc"
