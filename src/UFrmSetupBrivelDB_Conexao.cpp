// The wizard window: database kinds, the connection page, the connection test,
// the local client libraries and configApi.ini.
#include "UFrmSetupBrivelDB.h"

#include "core/AppPaths.h"
#include "core/ConfigApiIni.h"
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/KindDescriptor.h"
#include "core/LocalClients.h"
#include "db/ConnectionSetup.h"
#include "ui/MessageBoxes.h"
#include "ui/TextConv.h"
#include "ui_UFrmSetupBrivelDB.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QPalette>

using namespace brivel;
using brivel::ui::Q;
using brivel::ui::Std;

TTipoBanco TFrmSetupBrivelDB::TipoBancoSelecionado() const { return KindFromIndex(ui->cbBanco->currentIndex()); }

QString TFrmSetupBrivelDB::NomeBancoSelecionado() const
{
    return QString::fromUtf8(DisplayName(TipoBancoSelecionado()));
}

QString TFrmSetupBrivelDB::TipoBancoConfig() const { return QString::fromUtf8(ConfigName(TipoBancoSelecionado())); }

void TFrmSetupBrivelDB::AtualizarPortaPadrao()
{
    ui->edtPorta->setText(QString::fromUtf8(DefaultPort(TipoBancoSelecionado())));
}

void TFrmSetupBrivelDB::AjustarCamposPorBanco()
{
    ui->lblServidor->setText(QStringLiteral("Servidor"));
    ui->lblPorta->setText(QStringLiteral("Porta"));
    QLineEdit* const serverFields[] = {ui->edtServidor, ui->edtPorta, ui->edtUsuario, ui->edtSenha};
    if (KindOf(TipoBancoSelecionado()).databaseIsFile) {
        ui->lblDatabase->setText(QStringLiteral("Arquivo SQLite"));
        for (QLineEdit* e : serverFields)
            e->setEnabled(false);
        for (QLineEdit* e : serverFields)
            e->clear();
        ui->btnArquivo->setVisible(true);
        if (ui->edtDatabase->text().trimmed().isEmpty())
            ui->edtDatabase->setText(QDir::toNativeSeparators(Q(ExecutableFolder()) + QStringLiteral("brivel.db")));
    } else {
        ui->lblDatabase->setText(QStringLiteral("Banco / Base / Service Name"));
        for (QLineEdit* e : serverFields)
            e->setEnabled(true);
        if (ui->edtServidor->text().trimmed().isEmpty())
            ui->edtServidor->setText(QString::fromUtf8(kLoopbackHost));
    }
    for (QLabel* label : {ui->lblServidor, ui->lblDatabase, ui->lblPorta})
        label->adjustSize();
}

void TFrmSetupBrivelDB::onKindTextEdited(const QString& text)
{
    // A typed text selects the entry it names (letter case aside); any other text selects none.
    QComboBox* cb = ui->cbBanco;
    const int match = cb->findText(text, Qt::MatchFixedString);
    if (match != cb->currentIndex()) {
        QLineEdit* edit = cb->lineEdit();
        const int pos = edit->cursorPosition();
        const QSignalBlocker block(cb);
        cb->setCurrentIndex(match);
        edit->setText(text);
        edit->setCursorPosition(pos);
    }
    ui::Guarded([this] { cbBancoChange(); });
}

void TFrmSetupBrivelDB::cbBancoChange()
{
    const int index = ui->cbBanco->currentIndex();
    ui->btnArquivo->setVisible(index >= 0 && KindOf(KindFromIndex(index)).databaseFilePicker);
    FConexaoOk = false;
    ui->lblStatusConexao->clear();
    AtualizarPortaPadrao();
    AjustarCamposPorBanco();
    AtualizarBotoes();
}

void TFrmSetupBrivelDB::btnArquivoClick()
{
    // Built on first use: a file dialog is about a quarter of the window's start-up.
    if (!OpenDialog1) {
        OpenDialog1 = new QFileDialog(this);
        OpenDialog1->setFileMode(QFileDialog::ExistingFile);
        OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    }
    if (OpenDialog1->exec() == QDialog::Accepted && !OpenDialog1->selectedFiles().isEmpty())
        ui->edtDatabase->setText(QDir::toNativeSeparators(OpenDialog1->selectedFiles().constFirst()));
}

ConnectionFields TFrmSetupBrivelDB::camposConexao() const
{
    ConnectionFields f;
    f.kindIndex = ui->cbBanco->currentIndex();
    f.servidor = Std(ui->edtServidor->text());
    f.database = Std(ui->edtDatabase->text());
    f.porta = Std(ui->edtPorta->text());
    f.usuario = Std(ui->edtUsuario->text());
    f.senha = Std(ui->edtSenha->text());
    return f;
}

void TFrmSetupBrivelDB::ValidarCamposConexao() const { brivel::ValidarCamposConexao(camposConexao()); }

void TFrmSetupBrivelDB::ConfigurarConexao() { ConfigurarConexao(camposConexao()); }

void TFrmSetupBrivelDB::ConfigurarConexao(const ConnectionFields& campos)
{
    // The page's texts are taken beforehand: this runs on the database thread.
    db::SetUpConnection(FDConnection_, campos, ExecutableFolder(), logDaConexao());
}

bool TFrmSetupBrivelDB::ConexaoIgualATela() const
{
    try {
        return DefinitionFor(camposConexao()) == FDConnection_.definition();
    } catch (const std::exception&) {
        return false;  // the fields do not even make a definition
    }
}

db::SetupLog TFrmSetupBrivelDB::logDaConexao()
{
    return [this](const std::string& line) { Log(Q(line)); };
}

void TFrmSetupBrivelDB::ConfigurarPostgreSQLClientLocal()
{
    db::UseLocalClient(FDConnection_, tbPostgreSQL, ExecutableFolder(), logDaConexao());
}

void TFrmSetupBrivelDB::ConfigurarOracleClientLocal()
{
    db::UseLocalClient(FDConnection_, tbOracle, ExecutableFolder(), logDaConexao());
}

// Shown to the user (log, boxes) as the platform writes paths.
QString TFrmSetupBrivelDB::ArquivoConfigApiINI() const
{
    return QDir::toNativeSeparators(Q(ConfigApiIniPath(ExecutableFolder())));
}

void TFrmSetupBrivelDB::SalvarConfigApiINI()
{
    SaveConfigApiIni(Std(ArquivoConfigApiINI()), camposConexao(), ExecutableFolder());
}

void TFrmSetupBrivelDB::btnTestarConexaoClick()
{
    const ui::OperationInputBlocker::Scope operation(FOperacao);
    auto status = [this](const QColor& color, const QString& text) {
        QPalette p = ui->lblStatusConexao->palette();
        p.setColor(QPalette::WindowText, color);
        ui->lblStatusConexao->setPalette(p);
        ui->lblStatusConexao->setText(text);
        ui->lblStatusConexao->adjustSize();
    };
    FConexaoOk = false;
    status(QColor(255, 0, 0), QStringLiteral("Testando conexão..."));
    QCoreApplication::processEvents();
    FCancelamentoPedido = false;
    FDConnection_.clearCancel();  // a cancelled installation's request is not this test's
    try {
        ValidarCamposConexao();
        const ConnectionFields campos = camposConexao();
        // The libraries that can stop a connect part-way do so at once; the others
        // when their connect returns.
        FCancelarOperacao = [this] { FDConnection_.cancel(); };
        struct Fim {
            std::function<void()>& cancelar;
            ~Fim() { cancelar = nullptr; }
        } fim{FCancelarOperacao};
        try {
            NoTrabalho([&] {
                ConfigurarConexao(campos);
                FDConnection_.open();
            });
        } catch (const std::exception&) {
            // However the library ended the attempt, it was the user's doing.
            if (FCancelamentoPedido)
                throw Error("Teste de conexão cancelado.");
            throw;
        }
        if (FCancelamentoPedido) {
            NoTrabalho([&] { FDConnection_.close(); });
            throw Error("Teste de conexão cancelado.");
        }
        FCancelarOperacao = nullptr;
        try {
            SalvarConfigApiINI();
        } catch (const std::exception& e) {
            // The connection itself worked: it was the file that failed, and the
            // status and the box say so. The connection stays open.
            FConexaoOk = false;
            status(QColor(255, 0, 0), QString::fromUtf8(kConfigApiIniNotSavedStatus));
            ui::ShowError(this, Q(ConfigApiIniNotSavedText(e.what())));
            AtualizarBotoes();
            return;
        }
        FConexaoOk = true;
        status(QColor(0, 128, 0), QStringLiteral("Conexão realizada com sucesso. configApi.ini criado."));
        Log(QStringLiteral("Conexão realizada com sucesso."));
        Log(QStringLiteral("Arquivo configApi.ini criado em: ") + ArquivoConfigApiINI());
        ui->memScript->setPlainText(ui::ToLf(GerarScript()));
        ui->PageControl1->setCurrentWidget(ui->TabExecucao);
        ui->btnCriarEstrutura->setVisible(true);
        ui->btnSalvarScript->setVisible(true);
        ui->btnCopiarScript->setVisible(true);
    } catch (const std::exception& e) {
        FConexaoOk = false;
        status(QColor(255, 0, 0), QStringLiteral("Erro na conexão."));
        ui::ShowError(this, QStringLiteral("Erro ao conectar ao banco:\r\n\r\n") + Q(e.what()));
    }
    AtualizarBotoes();
}
