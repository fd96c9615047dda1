#include "support/Wizard.h"

#include "core/AppPaths.h"

#include <QtTest>

namespace brivel::test {

Wizard::Wizard(Start start)
{
    OverrideExecutableFolder(folder_.path().toStdString());
    window_ = std::make_unique<TFrmSetupBrivelDB>();
    FrmSetupBrivelDB = window_.get();
    window_->show();
    if (start == Start::Exposed && !QTest::qWaitForWindowExposed(window_.get()))
        qWarning("the wizard window was not exposed");
}

Wizard::~Wizard()
{
    window_.reset();
    OverrideExecutableFolder("");
}

void Wizard::click(const char* name)
{
    QPushButton* b = button(name);
    QTest::mouseClick(b, Qt::LeftButton);
}

void Wizard::selectKind(int index)
{
    QComboBox* cb = kinds();
    // What picking from the drop-down does: the index changes and the change event runs.
    cb->setCurrentIndex(index);
    if (cb->currentIndex() == index)
        QCoreApplication::processEvents();
}

void Wizard::type(const char* editName, const QString& text)
{
    QLineEdit* e = edit(editName);
    e->selectAll();
    e->del();
    QTest::keyClicks(e, text);
}

void Wizard::fillConnection(const QString& server, const QString& port, const QString& database, const QString& user,
                            const QString& password)
{
    edit("edtServidor")->setText(server);
    edit("edtPorta")->setText(port);
    edit("edtDatabase")->setText(database);
    edit("edtUsuario")->setText(user);
    edit("edtSenha")->setText(password);
}

QList<ModalBoxes::Box> Wizard::testConnection(int kind, const Login& login)
{
    pages()->setCurrentIndex(0);
    window_->AtualizarBotoes();
    click("btnAvancar");
    click("btnAvancar");
    if (kinds()->currentIndex() != kind)
        selectKind(kind);
    if (kind == 4) {
        edit("edtDatabase")->setText(login.database);
    } else {
        fillConnection(login.server, login.port, login.database, login.user, login.password);
    }
    ModalBoxes boxes;
    click("btnTestarConexao");
    return boxes.seen;
}

void Wizard::linkLibpq() const
{
    const QString system = QFileInfo(QStringLiteral(BRIVEL_BINARY_DIR "/src/libpq.so.5")).symLinkTarget();
    const QString target = system.isEmpty() ? QStringLiteral("/usr/lib/x86_64-linux-gnu/libpq.so.5") : system;
    QFile::remove(folder_.file(QStringLiteral("libpq.so.5")));
    if (!QFile::link(target, folder_.file(QStringLiteral("libpq.so.5"))))
        qWarning("could not link libpq into the test folder");
}

QStringList Wizard::logLines() const
{
    const QString text = memo("memLog")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QStringList Wizard::logMessages() const
{
    QStringList out;
    for (const QString& line : logLines()) {
        const int sep = line.indexOf(QStringLiteral(" - "));
        out << (sep == 19 ? line.mid(22) : line);
    }
    return out;
}

QStringList InstallLog(const Wizard& wz)
{
    const QStringList log = wz.logMessages();
    for (int i = log.size() - 1; i >= 0; --i)
        if (log[i].startsWith(QStringLiteral("Banco selecionado: ")))
            return log.mid(i);
    return {};
}

} // namespace brivel::test
