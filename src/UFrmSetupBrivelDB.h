#pragma once
#include "core/ConnectionFields.h"
#include "core/DbKind.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "db/DriverLink.h"
#include "ui/DbWorker.h"
#include "ui/OperationInputBlocker.h"
#include "ui/WaitCursor.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QFileDialog;

namespace Ui {
class TFrmSetupBrivelDB;
}

using brivel::TTipoBanco;
using brivel::tbFirebird;
using brivel::tbMySQL;
using brivel::tbOracle;
using brivel::tbPostgreSQL;
using brivel::tbSQLite;
using brivel::tbSQLServer;

// The wizard window: owns every control, the single database connection and
// its driver links. Its methods carry all of the program's behaviour.
class TFrmSetupBrivelDB : public QWidget {
    Q_OBJECT

public:
    explicit TFrmSetupBrivelDB(QWidget* parent = nullptr);
    ~TFrmSetupBrivelDB() override;

    // Navigation and log
    void AtualizarBotoes();
    void Log(const QString& AMsg);

    // Database kinds and the connection page
    TTipoBanco TipoBancoSelecionado() const;
    QString NomeBancoSelecionado() const;
    QString TipoBancoConfig() const;
    void AtualizarPortaPadrao();
    void AjustarCamposPorBanco();
    void ValidarCamposConexao() const;

    // Connection definition, local client libraries, configApi.ini
    void ConfigurarConexao();
    void ConfigurarPostgreSQLClientLocal();
    void ConfigurarOracleClientLocal();
    QString ArquivoConfigApiINI() const;
    void SalvarConfigApiINI();

    // Schema script
    QString GerarScript() const;
    QString GerarScriptPadrao(const QString& AInt, const QString& AVarchar, const QString& AText,
                              const QString& ADateTime, const QString& ANow) const;
    QString ScriptMySQL() const;
    QString ScriptFirebird() const;
    QString ScriptOracle() const;
    QString ScriptSQLServer() const;
    QString ScriptSQLite() const;
    QString ScriptPostgreSQL() const;

    // Installer
    void CriarEstrutura();
    bool TabelaExiste(const QString& ATabela);
    void ExecutarScript(const QString& AScript);

    bool conexaoOk() const { return FConexaoOk; }
    brivel::db::Connection& FDConnection() { return FDConnection_; }

    // The whole text of memScript with CR LF line breaks, exactly as typed.
    QString textoScript() const;

public slots:
    void btnAvancarClick();
    void btnVoltarClick();
    void btnCancelarClick();
    void cbBancoChange();
    void btnArquivoClick();
    void btnTestarConexaoClick();
    void btnCriarEstruturaClick();
    void btnCopiarScriptClick();
    void btnSalvarScriptClick();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void wireEvents();
    void onKindTextEdited(const QString& text);
    brivel::ConnectionFields camposConexao() const;
    void ConfigurarConexao(const brivel::ConnectionFields& campos);
    // The connection set-up's lines, into the activity log.
    brivel::db::SetupLog logDaConexao();
    // The connection's definition is the one the page's fields give now.
    bool ConexaoIgualATela() const;
    // Runs database work on the worker thread while this one keeps the window alive.
    void NoTrabalho(const std::function<void()>& job);
    // "Cancelar" or the close button during an operation: asks, then cancels.
    void PedirInterrupcao(bool fechar);
    void AjustarTamanhoExterno();
    void MostrarFimDoLog();

    std::unique_ptr<Ui::TFrmSetupBrivelDB> ui;
    bool FConexaoOk = false;
    bool FPrimeiraExibicao = true;
    // The window manager's frame last taken into the outer size; null until known.
    QSize FMolduraAplicada;
    bool FAjustarMoldura = false;
    brivel::db::DriverLink FDPhysPgDriverLink1_;
    brivel::db::DriverLink FDPhysOracleDriverLink1_;
    brivel::db::Connection FDConnection_;
    brivel::ui::WaitCursor FDGUIxWaitCursor1;
    brivel::ui::OperationInputBlocker FOperacao;
    brivel::ui::DbWorker FTrabalho;
    // While an operation runs: how to cancel it (unset when nothing can be cancelled).
    std::function<void()> FCancelarOperacao;
    bool FCancelamentoPedido = false;
    QFileDialog* OpenDialog1 = nullptr;  // from the first click on btnArquivo to the window's end
};

extern TFrmSetupBrivelDB* FrmSetupBrivelDB;
