// The wizard window: the schema script on the page, the installer and the export.
#include "UFrmSetupBrivelDB.h"

#include "core/Error.h"
#include "core/SchemaScript.h"
#include "flow/InstallFlow.h"
#include "ui/MessageBoxes.h"
#include "ui/TextConv.h"
#include "ui_UFrmSetupBrivelDB.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QSaveFile>

using namespace brivel;
using brivel::ui::Q;
using brivel::ui::Std;

QString TFrmSetupBrivelDB::GerarScriptPadrao(const QString& AInt, const QString& AVarchar, const QString& AText,
                                             const QString& ADateTime, const QString& ANow) const
{
    return Q(brivel::GerarScriptPadrao(Std(AInt), Std(AVarchar), Std(AText), Std(ADateTime), Std(ANow)));
}

namespace {
QString ScriptOf(const TFrmSetupBrivelDB& w, TTipoBanco kind)
{
    const DialectWords d = DialectWordsFor(kind);
    return w.GerarScriptPadrao(Q(d.AInt), Q(d.AVarchar), Q(d.AText), Q(d.ADateTime), Q(d.ANow));
}
} // namespace

QString TFrmSetupBrivelDB::ScriptMySQL() const { return ScriptOf(*this, tbMySQL); }
QString TFrmSetupBrivelDB::ScriptFirebird() const { return ScriptOf(*this, tbFirebird); }
QString TFrmSetupBrivelDB::ScriptOracle() const { return ScriptOf(*this, tbOracle); }
QString TFrmSetupBrivelDB::ScriptSQLServer() const { return ScriptOf(*this, tbSQLServer); }
QString TFrmSetupBrivelDB::ScriptSQLite() const { return ScriptOf(*this, tbSQLite); }
QString TFrmSetupBrivelDB::ScriptPostgreSQL() const { return ScriptOf(*this, tbPostgreSQL); }

QString TFrmSetupBrivelDB::GerarScript() const
{
    return ScriptOf(*this, TipoBancoSelecionado());
}

void TFrmSetupBrivelDB::btnCriarEstruturaClick() { CriarEstrutura(); }

namespace {
// The installation flow's steps go to the window's activity log.
class WindowLog : public InstallLog {
public:
    explicit WindowLog(TFrmSetupBrivelDB& w) : w_(w) {}
    void line(const std::string& msg) override { w_.Log(Q(msg)); }

private:
    TFrmSetupBrivelDB& w_;
};
} // namespace

bool TFrmSetupBrivelDB::TabelaExiste(const QString& ATabela)
{
    WindowLog log(*this);
    return InstallFlow(FDConnection_, TipoBancoSelecionado(), Std(NomeBancoSelecionado()), log).tableExists(Std(ATabela));
}

void TFrmSetupBrivelDB::ExecutarScript(const QString& AScript)
{
    WindowLog log(*this);
    InstallFlow(FDConnection_, TipoBancoSelecionado(), Std(NomeBancoSelecionado()), log).executeScript(Std(AScript));
}

void TFrmSetupBrivelDB::CriarEstrutura()
{
    // Only into the database the page shows: after an edit (file, server,
    // database, port, user, password, kind) the connection is another one's.
    if (!ConexaoIgualATela()) {
        ui::ShowError(this, QStringLiteral("Os dados da conexão foram alterados desde o último teste.\r\n\r\n"
                                           "Clique em \"Testar Conexão\" novamente antes de criar a estrutura."));
        return;
    }
    const ui::OperationInputBlocker::Scope operation(FOperacao);
    WindowLog log(*this);
    InstallFlow flow(FDConnection_, TipoBancoSelecionado(), Std(NomeBancoSelecionado()), log);
    // The database work runs on the worker; the boxes and the page change stay here.
    // Closed (on the worker too) after the box and the page change, and before a
    // failure that escapes reaches the top-level box.
    struct Closing {
        TFrmSetupBrivelDB& w;
        InstallFlow& flow;
        ~Closing()
        {
            w.FCancelarOperacao = nullptr;
            try {
                w.NoTrabalho([this] { flow.close(); });
            } catch (...) {
            }
        }
    } closing{*this, flow};
    FCancelamentoPedido = false;
    FCancelarOperacao = [&flow] { flow.cancel(); };

    InstallResult result;
    NoTrabalho([&] { result = flow.run(); });
    FCancelarOperacao = nullptr;
    if (result.outcome == InstallOutcome::Incomplete) {
        // Only what is missing is created, on the database thread like an installation.
        const QString pergunta = Q(PartialStructureText(result)) +
                                 QStringLiteral("\r\n\r\nDeseja completar a instalação criando apenas o que falta? "
                                                "Nada do que existe será alterado ou removido.");
        if (!ui::AskYesNo(this, pergunta)) {
            Log(QStringLiteral("Nada foi criado nem removido."));
            return;
        }
        FCancelamentoPedido = false;
        FCancelarOperacao = [&flow] { flow.cancel(); };
        NoTrabalho([&] { result = flow.completeMissing(); });
        FCancelarOperacao = nullptr;
    }
    switch (result.outcome) {
    case InstallOutcome::AlreadyInstalled:
        ui::ShowInformation(this, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
        ui->PageControl1->setCurrentWidget(ui->TabFinal);
        AtualizarBotoes();
        break;
    case InstallOutcome::Installed:
    case InstallOutcome::Completed:
        ui::ShowInformation(this, result.outcome == InstallOutcome::Installed
                                      ? QStringLiteral("Estrutura criada com sucesso.")
                                      : QStringLiteral("Estrutura completada com sucesso."));
        ui->PageControl1->setCurrentWidget(ui->TabFinal);
        AtualizarBotoes();
        break;
    case InstallOutcome::Incomplete:
        break;
    case InstallOutcome::ColumnsMissing:
        ui::ShowError(this, Q(ColumnsMissingText(result)));
        break;
    case InstallOutcome::Failed:
        ui::ShowError(this, Q(InstallFailureText(result)));
        break;
    }
}

void TFrmSetupBrivelDB::btnCopiarScriptClick()
{
    QGuiApplication::clipboard()->setText(textoScript());
    ui::ShowInformation(this, QStringLiteral("Script copiado para a área de transferência."));
}

void TFrmSetupBrivelDB::btnSalvarScriptClick()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Arquivo SQL (*.sql)"));
    dialog.setDefaultSuffix(QStringLiteral("sql"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(QStringLiteral("brivel_") +
                      NomeBancoSelecionado().toLower().replace(QLatin1Char(' '), QLatin1Char('_')) +
                      QStringLiteral(".sql"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    // Written beside the target and put in its place only when complete: a
    // failure (a full disk) leaves an existing file as it was and no new one.
    QSaveFile file(path);
    auto fail = [&](const QString& what) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Error(Std(what + QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason));
    };
    // Unbuffered: a write error then reaches QSaveFile, which would otherwise learn
    // of a failed flush too late and commit the incomplete file (Qt 6.4).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(QStringLiteral("Não foi possível criar o arquivo "));
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + textoScript().toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        fail(QStringLiteral("Não foi possível gravar o arquivo "));
    ui::ShowInformation(this, QStringLiteral("Script salvo com sucesso."));
}
