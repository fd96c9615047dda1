// The wizard window: creation, navigation and the activity log.
#include "UFrmSetupBrivelDB.h"

#include "core/LogLine.h"
#include "ui/MessageBoxes.h"
#include "ui/PngIcon.h"
#include "ui/TextConv.h"
#include "ui_UFrmSetupBrivelDB.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QSignalBlocker>
#include <QStringList>
#include <QScrollBar>
#include <QTabBar>
#include <QThread>
#include <QTimer>

using namespace brivel;
using brivel::ui::Guarded;
using brivel::ui::Q;
using brivel::ui::Std;

TFrmSetupBrivelDB* FrmSetupBrivelDB = nullptr;

namespace {

const QStringList kBoasVindas = {
    QStringLiteral("Bem-vindo ao Assistente de Configuração do Brivel"),
    QString(),
    QStringLiteral("Este assistente irá criar as tabelas internas necessárias para o funcionamento do sistema."),
    QString(),
    QStringLiteral("Bancos suportados:"),
    QStringLiteral("- MySQL"),
    QStringLiteral("- Firebird"),
    QStringLiteral("- Oracle"),
    QStringLiteral("- SQL Server"),
    QStringLiteral("- SQLite"),
    QStringLiteral("- PostgreSQL"),
    QString(),
    QStringLiteral("Clique em Avançar para continuar."),
};

const QStringList kExplicacao = {
    QStringLiteral("Criação das Estruturas Necessárias"),
    QString(),
    QStringLiteral("O Brivel precisa criar algumas tabelas internas no banco de dados informado para funcionar "
                   "corretamente."),
    QString(),
    QStringLiteral("Essas tabelas são utilizadas para:"),
    QString(),
    QStringLiteral("- Armazenar as rotas da API criadas pelo usuário"),
    QStringLiteral("- Definir e controlar os parâmetros de entrada das rotas"),
    QStringLiteral("- Guardar configurações gerais do sistema, como porta, segurança e limites"),
    QStringLiteral("- Gerenciar usuários e tokens de acesso"),
    QStringLiteral("- Registrar logs de chamadas da API, quando habilitado"),
    QStringLiteral("- Controlar identificadores internos"),
    QString(),
    QStringLiteral("Importante:"),
    QString(),
    QStringLiteral("- Nenhuma tabela existente no banco de dados será alterada"),
    QStringLiteral("- Apenas novas tabelas com o prefixo API_ serão criadas"),
    QStringLiteral("- O processo é seguro e não interfere em outras estruturas do banco"),
    QString(),
    QStringLiteral("Requisitos:"),
    QString(),
    QStringLiteral("- O usuário informado deve ter permissão para criar tabelas e inserir dados"),
    QString(),
    QStringLiteral("Caso prefira, você poderá visualizar, copiar ou salvar o script para execução manual."),
    QString(),
    QStringLiteral("Clique em \"Avançar\" para prosseguir."),
};

// The first character of a date or time format that is not a letter, a blank or
// quoted. Formats that only use blanks (the C locale's "d MMM yyyy") keep the default.
QString SeparatorOf(const QString& format, const QString& fallback)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && !c.isLetter() && !c.isSpace())
            return c;
    }
    return fallback;
}

// Pasted text keeps its characters but loses CR and LF: a single-line value
// never carries a line break into the connection or configApi.ini.
void StripLineBreaks(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
            return;
        QString clean = text;
        clean.remove(QLatin1Char('\r'));
        clean.remove(QLatin1Char('\n'));
        const int removedBefore = text.left(edit->cursorPosition()).count(QLatin1Char('\r')) +
                                  text.left(edit->cursorPosition()).count(QLatin1Char('\n'));
        const int pos = edit->cursorPosition() - removedBefore;
        edit->setText(clean);
        edit->setCursorPosition(pos);
    });
}

} // namespace

TFrmSetupBrivelDB::TFrmSetupBrivelDB(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFrmSetupBrivelDB>()),
      FDPhysPgDriverLink1_(tbPostgreSQL),
      FDPhysOracleDriverLink1_(tbOracle),
      FDConnection_(db::DriverLinks{&FDPhysPgDriverLink1_, &FDPhysOracleDriverLink1_}),
      FOperacao(this)
{
    Q_INIT_RESOURCE(resources);
#ifdef Q_OS_WIN
    // Segoe UI is on every Windows since Vista; where it is missing (Wine, trimmed
    // server images) Qt would take the first family it knows, often a serif one:
    // Windows' dialog font instead.
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                               {QStringLiteral("Tahoma"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial")});
    if (!QFontDatabase::hasFamily(QStringLiteral("Segoe UI"))) {
        // Wine's Tahoma carries bitmaps for 8 to 16 pixels (9 points at 96 DPI is 12),
        // which Windows draws outside the glyph box that Qt's GDI engine sizes from
        // the outline: ")" comes out as a tick, "j" and "-" go missing. The
        // DirectWrite engine, which Qt takes for this hinting, draws the outline.
        // On the application's font, so that boxes and dialogs take it too.
        QFont substitute = QApplication::font();
        substitute.setHintingPreference(QFont::PreferVerticalHinting);
        QApplication::setFont(substitute);
    }
#endif
    ui->setupUi(this);
    FDConnection_.setBusyObserver(&FDGUIxWaitCursor1);
    wireEvents();
    FormCreate();
}

TFrmSetupBrivelDB::~TFrmSetupBrivelDB()
{
    // An open connection is released with the window; the busy pointer goes first.
    FDConnection_.setBusyObserver(nullptr);
    FDConnection_.close();
    if (FrmSetupBrivelDB == this)
        FrmSetupBrivelDB = nullptr;
}

void TFrmSetupBrivelDB::wireEvents()
{
    connect(ui->btnAvancar, &QPushButton::clicked, this, [this] { Guarded([this] { btnAvancarClick(); }); });
    connect(ui->btnVoltar, &QPushButton::clicked, this, [this] { Guarded([this] { btnVoltarClick(); }); });
    connect(ui->btnCancelar, &QPushButton::clicked, this, [this] { Guarded([this] { btnCancelarClick(); }); });
    connect(ui->btnArquivo, &QToolButton::clicked, this, [this] { Guarded([this] { btnArquivoClick(); }); });
    connect(ui->btnTestarConexao, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnTestarConexaoClick(); }); });
    connect(ui->btnCriarEstrutura, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnCriarEstruturaClick(); }); });
    connect(ui->btnCopiarScript, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnCopiarScriptClick(); }); });
    connect(ui->btnSalvarScript, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnSalvarScriptClick(); }); });
    connect(ui->cbBanco, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { cbBancoChange(); }); });
    connect(ui->cbBanco->lineEdit(), &QLineEdit::textEdited, this, &TFrmSetupBrivelDB::onKindTextEdited);
    // The log page was hidden while lines came in: its newest line is brought into
    // view once the page is shown and laid out.
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (ui->PageControl1->currentWidget() == ui->TabFinal)
            QTimer::singleShot(0, ui->memLog, [this] { MostrarFimDoLog(); });
    });
    // "Cancelar" and the close button are the two inputs an operation lets through.
    FOperacao.allow(ui->btnCancelar);
    for (QLineEdit* edit : {ui->edtServidor, ui->edtDatabase, ui->edtPorta, ui->edtUsuario, ui->edtSenha,
                            ui->cbBanco->lineEdit()})
        StripLineBreaks(edit);
}

void TFrmSetupBrivelDB::FormCreate()
{
    setWindowTitle(QStringLiteral("Assistente de Configuração do Banco - Brivel"));
    resize(800, 450);  // outer size is set once the frame is known (showEvent)
    FConexaoOk = false;
    ui->PageControl1->setCurrentIndex(0);
    ui->PageControl1->setTabText(0, QStringLiteral("Boas-vindas"));
    ui->PageControl1->setTabText(1, QStringLiteral("Informações"));
    ui->PageControl1->setTabText(2, QStringLiteral("Conexão"));
    ui->PageControl1->setTabText(3, QStringLiteral("Instalação"));
    ui->PageControl1->setTabText(4, QStringLiteral("Finalização"));
    ui->lblStatusConexao->clear();

    ui->memBoasVindas->setReadOnly(true);
    ui->memBoasVindas->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui->memBoasVindas->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->memBoasVindas->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui->memBoasVindas->setPlainText(kBoasVindas.join(QLatin1Char('\n')));
    ui->memExplicacao->setReadOnly(true);
    ui->memExplicacao->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui->memExplicacao->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->memExplicacao->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui->memExplicacao->setPlainText(kExplicacao.join(QLatin1Char('\n')));

    {
        // Selecting from code raises no change event.
        const QSignalBlocker block(ui->cbBanco);
        ui->cbBanco->setInsertPolicy(QComboBox::NoInsert);
        ui->cbBanco->clear();
        for (int i = 0; i < kKindCount; ++i)
            ui->cbBanco->addItem(QString::fromUtf8(DisplayName(static_cast<TTipoBanco>(i))));
        ui->cbBanco->setCurrentIndex(0);
    }
    ui->edtServidor->setText(QString::fromUtf8(kLoopbackHost));
    ui->edtDatabase->clear();
    ui->edtUsuario->clear();
    ui->edtSenha->setEchoMode(QLineEdit::Password);
    ui->edtSenha->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    ui->memScript->setReadOnly(false);
    // Tab moves the focus, as in the platform's own multi-line areas: a tab
    // character typed here would end up in the copied and saved script.
    ui->memScript->setTabChangesFocus(true);
    ui->memScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    ui->memScript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui->memScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui->memLog->setReadOnly(true);
    ui->memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui->memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->memLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    ui->btnArquivo->setIcon(ui::PngIcon(QStringLiteral(":/res/pasta.png")));
    ui->btnArquivo->setIconSize(QSize(16, 16));
    ui->btnArquivo->setVisible(false);
    ui->btnCriarEstrutura->setVisible(false);
    ui->btnSalvarScript->setVisible(false);
    ui->btnCopiarScript->setVisible(false);
    for (QLabel* label : {ui->lblBanco, ui->lblServidor, ui->lblDatabase, ui->lblPorta, ui->lblStatusConexao,
                          ui->lblUsuario, ui->lblSenha})
        label->adjustSize();

    AtualizarPortaPadrao();
    AjustarCamposPorBanco();
    AtualizarBotoes();
}

void TFrmSetupBrivelDB::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FPrimeiraExibicao)
        return;
    FPrimeiraExibicao = false;
    FAjustarMoldura = true;
    AjustarTamanhoExterno();
}

bool TFrmSetupBrivelDB::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // A window manager adds its frame after the window is shown: once the frame is
    // known (it moves or resizes the window then), the outer size is set again.
    if (FAjustarMoldura && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                            event->type() == QEvent::WindowActivate))
        AjustarTamanhoExterno();
    return handled;
}

void TFrmSetupBrivelDB::AjustarTamanhoExterno()
{
    // The outer size (frame included) is 800 x 450, the whole window centred on the screen.
    const QSize moldura = frameGeometry().size() - geometry().size();
    // While the window manager takes the window over, the frame can read as less
    // than the window itself: only a real frame is taken.
    if (moldura.width() < 0 || moldura.height() < 0 || (!FMolduraAplicada.isNull() && moldura == FMolduraAplicada))
        return;
    FMolduraAplicada = moldura;
    if (!moldura.isNull())
        FAjustarMoldura = false;  // the real frame is in: the user's own moves and resizes stay
    resize(QSize(800, 450) - moldura);
    if (QScreen* s = screen()) {
        QRect r(frameGeometry().topLeft(), QSize(800, 450));
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TFrmSetupBrivelDB::closeEvent(QCloseEvent* event)
{
    if (FOperacao.running()) {
        event->ignore();
        PedirInterrupcao(true);
        return;
    }
    event->accept();
}

void TFrmSetupBrivelDB::PedirInterrupcao(bool fechar)
{
    if (!FCancelarOperacao || FCancelamentoPedido) {
        // Nothing left to stop (or already stopping): a close waits for the end.
        if (fechar)
            FOperacao.deferClose();
        return;
    }
    const QString pergunta =
        fechar ? QStringLiteral("Uma operação com o banco está em andamento.\r\n\r\nDeseja interrompê-la e fechar o "
                                "assistente? Nada do que ela fez ficará no banco.")
               : QStringLiteral("Uma operação com o banco está em andamento.\r\n\r\nDeseja interrompê-la? Nada do "
                                "que ela fez ficará no banco.");
    if (!ui::AskStopOperation(this, pergunta) || !FCancelarOperacao)
        return;
    FCancelamentoPedido = true;
    if (fechar)
        FOperacao.deferClose();
    FCancelarOperacao();
}

void TFrmSetupBrivelDB::NoTrabalho(const std::function<void()>& job)
{
    // The pointer stays busy for the whole job, between the layer's calls too.
    FDGUIxWaitCursor1.busyBegin();
    struct Fim {
        ui::WaitCursor& c;
        ~Fim() { c.busyEnd(); }
    } fim{FDGUIxWaitCursor1};
    FTrabalho.run(job);
}

void TFrmSetupBrivelDB::AtualizarBotoes()
{
    QTabWidget* pc = ui->PageControl1;
    const int index = pc->currentIndex();
    QWidget* page = pc->currentWidget();
    // A navigation button that disables itself would hand the focus to the next
    // control, the closing button: it goes to a sensible one below instead.
    QWidget* const foco = focusWidget();
    const bool focoNaNavegacao = foco == ui->btnVoltar || foco == ui->btnAvancar;
    ui->btnVoltar->setEnabled(index > 0);
    ui->btnAvancar->setEnabled(index < pc->count() - 1);
    if (page == ui->TabConexao)
        ui->btnAvancar->setEnabled(FConexaoOk);
    if (page == ui->TabExecucao) {
        ui->btnAvancar->setEnabled(false);
        ui->memScript->setPlainText(ui::ToLf(GerarScript()));
    }
    if (page == ui->TabFinal) {
        ui->btnAvancar->setEnabled(false);
        ui->btnVoltar->setEnabled(false);
        ui->btnCancelar->setText(QStringLiteral("Fechar"));
    } else {
        ui->btnCancelar->setText(QStringLiteral("Cancelar"));
    }
    if (focoNaNavegacao && !foco->isEnabled()) {
        if (ui->btnAvancar->isEnabled())
            ui->btnAvancar->setFocus(Qt::OtherFocusReason);
        else if (ui->btnVoltar->isEnabled())
            ui->btnVoltar->setFocus(Qt::OtherFocusReason);
        else
            pc->tabBar()->setFocus(Qt::OtherFocusReason);
    }
}

void TFrmSetupBrivelDB::btnAvancarClick()
{
    QTabWidget* pc = ui->PageControl1;
    if (pc->currentIndex() < pc->count() - 1)
        pc->setCurrentIndex(pc->currentIndex() + 1);
    AtualizarBotoes();
}

void TFrmSetupBrivelDB::btnVoltarClick()
{
    QTabWidget* pc = ui->PageControl1;
    if (pc->currentIndex() > 0)
        pc->setCurrentIndex(pc->currentIndex() - 1);
    AtualizarBotoes();
}

void TFrmSetupBrivelDB::btnCancelarClick()
{
    if (FOperacao.running()) {
        PedirInterrupcao(false);
        return;
    }
    close();
}

void TFrmSetupBrivelDB::Log(const QString& AMsg)
{
    if (QThread::currentThread() != thread()) {
        // From the database thread: the window's thread writes the line and processes
        // what is pending (a cancel, say) before the work goes on, as on one thread.
        QMetaObject::invokeMethod(this, [this, &AMsg] { Log(AMsg); }, Qt::BlockingQueuedConnection);
        return;
    }
    const QLocale locale = QLocale::system();
    const QString dateSep = SeparatorOf(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
    const QString timeSep = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":"));
    const std::string line = FormatLogLine(CurrentLocalDateTime(), Std(dateSep), Std(timeSep), Std(AMsg));
    ui->memLog->appendPlainText(ui::ToLf(Q(line)));
    MostrarFimDoLog();
    QCoreApplication::processEvents();
}

void TFrmSetupBrivelDB::MostrarFimDoLog()
{
    QScrollBar* bar = ui->memLog->verticalScrollBar();
    bar->setValue(bar->maximum());
}

QString TFrmSetupBrivelDB::textoScript() const
{
    // The raw text keeps non-breaking spaces; paragraph separators are the line breaks.
    QString text = ui->memScript->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return ui::ToCrLf(text);
}
