// The wizard window: the schema script on the page, the installer and the export.
#include "UFrmSetupBrivelDB.h"

#include "core/Error.h"
#include "core/InstallSteps.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"
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
    switch (TipoBancoSelecionado()) {
    case tbFirebird: return ScriptFirebird();
    case tbOracle: return ScriptOracle();
    case tbSQLServer: return ScriptSQLServer();
    case tbSQLite: return ScriptSQLite();
    case tbPostgreSQL: return ScriptPostgreSQL();
    case tbMySQL: break;
    }
    return ScriptMySQL();
}

void TFrmSetupBrivelDB::btnCriarEstruturaClick() { CriarEstrutura(); }

bool TFrmSetupBrivelDB::TabelaExiste(const QString& ATabela)
{
    const std::string sql = ExistenceQuery(TipoBancoSelecionado());
    return FDConnection_.queryInt(sql, "TABELA", Std(ATabela), "QTD") > 0;
}

void TFrmSetupBrivelDB::ExecutarScript(const QString& AScript)
{
    const TTipoBanco kind = TipoBancoSelecionado();
    for (const ScriptStatement& st : SplitStatements(Std(AScript))) {
        if (st.logged)
            Log(QStringLiteral("Executando comando..."));
        FDConnection_.execSQL(st.sql);
        const std::string created = CreatedTableName(st.sql);
        if (created.empty())
            continue;
        FTabelasCriadas.push_back(created);
        // Firebird: later statements of the same transaction cannot use a table
        // created in it, so each new table is committed at once (and undone by
        // DesfazerTabelasCriadas should a later statement fail).
        if (kind == tbFirebird && FDConnection_.inTransaction()) {
            FDConnection_.commit();
            FDConnection_.startTransaction();
        }
    }
}

void TFrmSetupBrivelDB::DesfazerTabelasCriadas()
{
    // Kinds whose DDL is transactional are undone by the rollback alone.
    if (DdlIsTransactional(TipoBancoSelecionado()) || FTabelasCriadas.empty())
        return;
    for (auto it = FTabelasCriadas.rbegin(); it != FTabelasCriadas.rend(); ++it) {
        const QString table = Q(*it);
        try {
            FDConnection_.execSQL("DROP TABLE " + *it);
            Log(QStringLiteral("Tabela ") + table + QStringLiteral(" criada nesta execução foi removida."));
        } catch (const std::exception& e) {
            Log(QStringLiteral("Não foi possível remover a tabela ") + table + QStringLiteral(": ") + Q(e.what()));
        }
    }
}

void TFrmSetupBrivelDB::CriarEstrutura()
{
    const ui::OperationInputBlocker::Scope operation(FOperacao);
    struct Closing {
        TFrmSetupBrivelDB* w;
        ~Closing()
        {
            if (w->FDConnection_.connected()) {
                w->FDConnection_.close();
                try {
                    w->Log(QStringLiteral("Conexão encerrada."));
                } catch (...) {
                }
            }
        }
    } closing{this};

    if (!FDConnection_.connected())
        FDConnection_.open();
    Log(QStringLiteral("Banco selecionado: ") + NomeBancoSelecionado());
    Log(QStringLiteral("Verificando estrutura existente..."));
    if (TabelaExiste(QStringLiteral("API_CONFIG"))) {
        Log(QStringLiteral("A tabela API_CONFIG já existe."));
        Log(QStringLiteral("A estrutura aparenta já estar instalada."));
        ui::ShowInformation(this, QStringLiteral("A estrutura do Brivel já aparenta estar instalada neste banco."));
        ui->PageControl1->setCurrentWidget(ui->TabFinal);
        AtualizarBotoes();
        return;
    }
    const QString script = GerarScript();
    Log(QStringLiteral("Criando estrutura do Brivel..."));
    FTabelasCriadas.clear();
    FDConnection_.startTransaction();
    try {
        ExecutarScript(script);
        FDConnection_.commit();
        FTabelasCriadas.clear();
        Log(QStringLiteral("Estrutura criada com sucesso."));
        ui::ShowInformation(this, QStringLiteral("Estrutura criada com sucesso."));
        ui->PageControl1->setCurrentWidget(ui->TabFinal);
        AtualizarBotoes();
    } catch (const std::exception& e) {
        const QString message = Q(e.what());
        if (FDConnection_.inTransaction()) {
            try {
                FDConnection_.rollback();
            } catch (const std::exception& r) {
                Log(QStringLiteral("Não foi possível desfazer a transação: ") + Q(r.what()));
            }
        }
        DesfazerTabelasCriadas();
        FTabelasCriadas.clear();
        Log(QStringLiteral("Erro ao criar estrutura: ") + message);
        ui::ShowError(this, QStringLiteral("Erro ao criar estrutura:\r\n\r\n") + message +
                                QStringLiteral("\r\n\r\nVocê pode copiar ou salvar o script e executar manualmente "
                                               "no banco."));
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
