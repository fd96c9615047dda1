// A plain Qt program with the wizard's kinds and number of widgets, built the
// obvious way: the yardstick for the wizard's start-up.
#include "FirstPaint.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QWidget* TextPage(const QString& text)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QPlainTextEdit(text);
    edit->setReadOnly(true);
    layout->addWidget(edit);
    return page;
}

template <class W>
W* Place(QWidget* parent, int x, int y, int w, int h, const QString& text = QString())
{
    auto* widget = new W(parent);
    widget->setGeometry(x, y, w, h);
    if constexpr (requires { widget->setText(text); })
        widget->setText(text);
    return widget;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Assistente de Configuração do Banco - Brivel"));
#ifdef Q_OS_WIN
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                               {QStringLiteral("Tahoma"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial")});
    if (!QFontDatabase::hasFamily(QStringLiteral("Segoe UI"))) {  // as the wizard: DirectWrite draws the fallback
        QFont substitute = QApplication::font();
        substitute.setHintingPreference(QFont::PreferVerticalHinting);
        QApplication::setFont(substitute);
    }
#endif
    window.setFont(QFont(QStringLiteral("Segoe UI"), 9));
    window.resize(800, 450);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* tabs = new QTabWidget;
    const QString words = QStringLiteral("Este assistente irá criar as tabelas internas necessárias.\n");
    tabs->addTab(TextPage(words.repeated(10)), QStringLiteral("Boas-vindas"));
    tabs->addTab(TextPage(words.repeated(25)), QStringLiteral("Informações"));

    auto* conexao = new QWidget;
    Place<QLabel>(conexao, 3, 7, 200, 15, QStringLiteral("Tipo de Banco de Dados"));
    auto* combo = Place<QComboBox>(conexao, 3, 28, 294, 23);
    combo->setEditable(true);
    combo->addItems({QStringLiteral("MySQL"), QStringLiteral("Firebird"), QStringLiteral("Oracle"),
                     QStringLiteral("SQL Server"), QStringLiteral("SQLite"), QStringLiteral("PostgreSQL")});
    Place<QLabel>(conexao, 3, 57, 200, 15, QStringLiteral("Servidor"));
    Place<QLineEdit>(conexao, 3, 78, 294, 23, QStringLiteral("127.0.0.1"));
    Place<QLabel>(conexao, 3, 107, 200, 15, QStringLiteral("Banco / Base / Service Name"));
    Place<QLineEdit>(conexao, 3, 128, 294, 23);
    Place<QToolButton>(conexao, 303, 129, 23, 22)->setVisible(false);
    Place<QLabel>(conexao, 3, 157, 200, 15, QStringLiteral("Porta"));
    Place<QLineEdit>(conexao, 3, 178, 294, 23, QStringLiteral("3306"));
    Place<QLabel>(conexao, 3, 207, 200, 15);
    Place<QLabel>(conexao, 412, 7, 200, 15, QStringLiteral("Usuário"));
    Place<QLineEdit>(conexao, 412, 32, 194, 23);
    Place<QLabel>(conexao, 412, 61, 200, 15, QStringLiteral("Senha"));
    Place<QLineEdit>(conexao, 412, 82, 194, 23)->setEchoMode(QLineEdit::Password);
    Place<QPushButton>(conexao, 412, 177, 194, 25, QStringLiteral("Testar Conexão"));
    tabs->addTab(conexao, QStringLiteral("Conexão"));
    tabs->addTab(TextPage(QString()), QStringLiteral("Instalação"));
    tabs->addTab(TextPage(QString()), QStringLiteral("Finalização"));
    layout->addWidget(tabs);

    auto* bottom = new QWidget;
    bottom->setFixedHeight(68);
    const char* buttons[] = {"Avançar", "Voltar", "Cancelar", "Salvar Script", " Copiar Script", "Criar Estrutura"};
    const int left[] = {8, 120, 232, 402, 512, 622};
    for (int i = 0; i < 6; ++i) {
        auto* b = Place<QPushButton>(bottom, left[i], 27, 98, 25, QString::fromUtf8(buttons[i]));
        b->setVisible(i < 3);
    }
    layout->addWidget(bottom);

    new brivel::bench::FirstPaint(&window);
    window.show();
    return app.exec();
}
