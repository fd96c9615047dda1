// Qt's own texts (dialogs, boxes, context menus) come in Portuguese even though
// its translation is read only after the window's first paint: each case is run
// in a process of its own (see CMakeLists.txt), right after the start, before the
// window has painted.
#include "support/ModalBoxes.h"
#include "support/Wizard.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/QtTranslation.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QMenu>
#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

QString Joined(const QStringList& texts) { return texts.join(QLatin1Char('|')); }

} // namespace

class QtTextsTest : public QObject {
    Q_OBJECT
private slots:
    void readAfterTheFirstPaintNotBefore()
    {
        Wizard wz(Wizard::Start::AtOnce);
        QVERIFY2(!ui::QtTextsTranslated(), "the translation was read before the window painted");
        QTRY_VERIFY(ui::QtTextsTranslated());
    }

    // A fast user: the first clicks reach the window before its first paint.
    void fileDialogOpenedAtOnce()
    {
        Wizard wz(Wizard::Start::AtOnce);
        wz.click("btnAvancar");
        wz.click("btnAvancar");
        wz.kinds()->setCurrentIndex(tbSQLite);  // no event handled in between
        FileDialogAnswer answer{QString()};  // cancelled
        QTest::mouseClick(wz.get<QToolButton>("btnArquivo"), Qt::LeftButton);
        QVERIFY(answer.shown());
        const QString texts = Joined(answer.texts);
        for (const char* english : {"Look in:", "File &name:", "Files of type:", "Cancel", "&Open"})
            QVERIFY2(!answer.texts.contains(QString::fromLatin1(english)), qPrintable(texts));
        for (const char* portuguese : {"Procurar em:", "&Nome do arquivo:", "Cancelar", "&Abrir"})
            QVERIFY2(answer.texts.contains(QString::fromUtf8(portuguese)), qPrintable(texts));
    }

    void textAreaContextMenuAtOnce()
    {
        Wizard wz(Wizard::Start::AtOnce);
        QPlainTextEdit* memo = wz.memo("memBoasVindas");
        const QPoint at(10, 10);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, memo->viewport()->mapToGlobal(at));
        QApplication::sendEvent(memo->viewport(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());  // popped up, not modal
        QVERIFY(menu);
        QStringList texts;
        for (const QAction* action : menu->actions())
            if (!action->isSeparator())
                texts << action->text().section(QLatin1Char('\t'), 0, 0);
        menu->close();
        for (const char* english : {"&Copy", "Select All"})
            QVERIFY2(!texts.contains(QString::fromLatin1(english)), qPrintable(Joined(texts)));
        for (const char* portuguese : {"&Copiar", "Selecionar tudo"})
            QVERIFY2(texts.contains(QString::fromUtf8(portuguese)), qPrintable(Joined(texts)));
    }

    // Boxes the program shows by itself, before the window paints and before any input.
    void questionBoxShownAtStartUp()
    {
        Wizard wz(Wizard::Start::AtOnce);
        const QStringList buttons = ButtonsOfTheBox([&] {
            QMessageBox::question(&wz.window(), QStringLiteral("Confirmação"), QStringLiteral("Continuar?"),
                                  QMessageBox::Yes | QMessageBox::No);
        });
        QCOMPARE(buttons, (QStringList{QStringLiteral("&Não"), QStringLiteral("&Sim")}));
    }

    // Its own texts on Qt's buttons are not replaced by Qt's when the translation comes.
    void stopQuestionShownAtStartUpKeepsItsTexts()
    {
        Wizard wz(Wizard::Start::AtOnce);
        const QStringList buttons =
            ButtonsOfTheBox([&] { ui::AskStopOperation(&wz.window(), QStringLiteral("Interromper?")); });
        QCOMPARE(buttons, (QStringList{QStringLiteral("Não"), QStringLiteral("Sim")}));
    }

private:
    // The texts of the buttons of the box that `show` opens, sorted.
    static QStringList ButtonsOfTheBox(const std::function<void()>& show)
    {
        ModalBoxes boxes;
        QStringList buttons;
        boxes.onBox = [&](QMessageBox* box) {
            for (const QAbstractButton* b : box->buttons())
                buttons << b->text();
            buttons.sort();
        };
        show();
        if (boxes.seen.size() != 1)
            qWarning("%d boxes shown", int(boxes.seen.size()));
        return buttons;
    }
};

BRIVEL_GUI_TEST_MAIN(QtTextsTest)
#include "test_qt_texts.moc"
