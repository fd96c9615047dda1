// setupbriveldb-cli: the wizard's jobs without a window, for unattended installs.
#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/Terminal.h"

#include <CLI/CLI.hpp>

#include <clocale>
#include <iostream>

#ifndef BRIVEL_VERSION
#define BRIVEL_VERSION "0"
#endif

using namespace brivel;
using namespace brivel::cli;

namespace {

const char* const kFooter = R"(Códigos de saída:
  0  sucesso (inclusive estrutura já instalada ou completada; verificar: instalada)
  1  falha no banco de dados ou na instalação (a execução é desfeita); instalar:
     estrutura parcial (sem --completar) ou tabela existente sem todas as colunas
  2  uso incorreto ou campos inválidos (nada é conectado)
  3  verificar: estrutura não instalada
  4  verificar: estrutura parcial

Senha, nesta ordem: --senha-arquivo ARQUIVO (primeira linha), a variável de
ambiente BRIVEL_SENHA, a Senha de --de-config e, com um terminal, a pergunta
sem eco. --senha TEXTO também é aceita, mas a linha de comando pode ser lida
por outros usuários.)";

void Portuguese(CLI::App& app)
{
    auto f = app.get_formatter();
    f->label("Usage", "Uso");
    f->label("OPTIONS", "OPÇÕES");
    f->label("SUBCOMMAND", "SUBCOMANDO");
    f->label("SUBCOMMANDS", "SUBCOMANDOS");
    f->label("TEXT", "TEXTO");
    f->label("REQUIRED", "OBRIGATÓRIO");
    f->label("Positionals", "Argumentos");
    f->column_width(34);
    app.option_defaults()->group("Opções");
}

// A file named on the command line is shown as the platform writes paths.
std::string NativePath(std::string path)
{
#ifdef _WIN32
    for (char& c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}

void ConnectionOptions(CLI::App* sub, Options& o, bool kindOnly = false)
{
    sub->add_option("--tipo", o.tipo,
                    "Tipo do banco: MYSQL, FIREBIRD, ORACLE, SQLSERVER, SQLITE ou POSTGRESQL (ou o nome "
                    "mostrado no assistente, como \"SQL Server\")")
        ->option_text("TIPO");
    sub->add_option("--de-config", o.deConfig, "Lê os valores de conexão de um configApi.ini; as opções têm precedência")
        ->option_text("ARQUIVO")
        ->transform(NativePath);
    if (kindOnly)
        return;
    sub->add_option("--servidor", o.servidor, "Servidor ou IP")->option_text("TEXTO");
    sub->add_option("--porta", o.porta, "Porta (padrão: a do tipo de banco)")->option_text("PORTA");
    sub->add_option("--banco", o.banco, "Banco, base, arquivo SQLite/Firebird ou service name (Oracle)")
        ->option_text("TEXTO");
    sub->add_option("--usuario", o.usuario, "Usuário")->option_text("TEXTO");
    sub->add_option("--senha-arquivo", o.senhaArquivo, "Lê a senha da primeira linha do arquivo")
        ->option_text("ARQUIVO")
        ->transform(NativePath);
    sub->add_option("--senha", o.senha, "Senha (evite: outros usuários podem ler a linha de comando)")
        ->option_text("TEXTO");
}

void OutputOptions(CLI::App* sub, Options& o)
{
    sub->add_flag("--json", o.json, "Ao final, imprime um objeto JSON com o resultado na saída padrão");
    sub->add_flag("--silencioso", o.silencioso, "Mostra apenas os erros");
}

// CLI11's own messages are in English; these say the same in Portuguese.
std::string UsageMessage(const CLI::ParseError& e)
{
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e))
        return "Argumento não reconhecido: " + what.substr(what.find(':') == std::string::npos ? 0 : what.find(':') + 2);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e))
        return "Falta o valor de uma opção, ou ela foi repetida: " + what.substr(0, what.find(':'));
    if (dynamic_cast<const CLI::RequiredError*>(&e))
        return "Informe um subcomando: testar, script, instalar ou verificar.";
    return "Uso incorreto: " + what;
}

bool FieldsValid(const ConnectionFields& f)
{
    try {
        ValidarCamposConexao(f);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args = ArgumentsUtf8(argc, argv);
    HidePasswordArgument(argc, argv);
    BinaryStandardOutput();
#ifdef LC_MESSAGES
    // The system's reasons for a failure (a file that cannot be written) in the
    // user's language, as the window gives them.
    std::setlocale(LC_MESSAGES, "");
#endif

    Options o;
    CLI::App app{"Prepara o banco de dados para a API Brivel sem janela: testa a conexão e grava o configApi.ini, "
                 "mostra o script de criação, instala a estrutura ou verifica uma instalação.",
                 "setupbriveldb-cli"};
    Portuguese(app);
    app.set_help_flag("-h,--help", "Mostra esta ajuda e sai");
    app.set_version_flag("--version", std::string("setupbriveldb-cli ") + BRIVEL_VERSION, "Mostra a versão e sai");
    app.require_subcommand(1);
    app.footer(kFooter);

    CLI::App* testar = app.add_subcommand("testar", "Testa a conexão e grava o configApi.ini, como o assistente");
    ConnectionOptions(testar, o);
    testar->add_option("--config", o.config, "Onde gravar o configApi.ini (padrão: ao lado do executável)")
        ->option_text("ARQUIVO")
        ->transform(NativePath);
    OutputOptions(testar, o);

    CLI::App* script = app.add_subcommand("script", "Imprime o script de criação do tipo de banco (sem conectar)");
    ConnectionOptions(script, o, true);
    script->add_option("--saida", o.saida, "Grava o script neste arquivo (UTF-8 com BOM), como o botão Salvar Script")
        ->option_text("ARQUIVO")
        ->transform(NativePath);
    OutputOptions(script, o);

    CLI::App* instalar =
        app.add_subcommand("instalar", "Instala a estrutura do Brivel; se já instalada, apenas informa (saída 0); "
                                       "se parcial, recusa, ou completa com --completar");
    ConnectionOptions(instalar, o);
    instalar->add_flag("--completar", o.completar,
                       "Estrutura parcial: cria só as tabelas e os registros iniciais que faltam, numa transação, "
                       "sem alterar nem remover nada do que existe (recusa se uma tabela existente não tem todas "
                       "as colunas)");
    OutputOptions(instalar, o);

    CLI::App* verificar = app.add_subcommand(
        "verificar", "Verifica as seis tabelas e os registros iniciais: instalada, não instalada ou parcial");
    ConnectionOptions(verificar, o);
    OutputOptions(verificar, o);

    for (CLI::App* sub : {testar, script, instalar, verificar}) {
        sub->group("Subcomandos");
        sub->set_help_flag("-h,--help", "Mostra esta ajuda e sai");
        sub->footer(kFooter);
        Portuguese(*sub);
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
        app.parse(std::move(reversed));
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        Report report(false, false);
        report.error(UsageMessage(e));
        report.error("Veja: setupbriveldb-cli --help");
        return kUsage;
    }

    for (CLI::App* sub : {testar, script, instalar, verificar})
        if (sub->parsed())
            o.command = sub->get_name();

    Report report(o.silencioso, o.json);
    report.data()["comando"] = o.command;
    ResolvedFields r;
    try {
        r = ResolveFields(o);
    } catch (const UsageError& e) {
        report.data()["resultado"] = "uso_incorreto";
        report.error(e.message);
        return report.finish(kUsage);
    }
    ConnectionFields& f = r.fields;
    if (f.kindIndex >= 0)
        report.data()["tipo"] = ConfigName(f.kind());
    if (r.passwordSource == PasswordSource::Option)
        report.warning("Aviso: a senha passada com --senha pode ser lida por outros usuários desta máquina; "
                       "prefira --senha-arquivo ou a variável BRIVEL_SENHA.");
    // Asked only when everything else is valid: bad input fails at once, without a question.
    if (o.command != "script" && r.passwordSource == PasswordSource::None && FieldsValid(f) &&
        f.kind() != tbSQLite && StandardInputIsTerminal())
        f.senha = PromptWithoutEcho("Senha: ");

    int code = kFailure;
    if (o.command == "testar")
        code = Testar(o, f, report);
    else if (o.command == "script")
        code = Script(o, f, report);
    else if (o.command == "instalar")
        code = Instalar(o, f, report);
    else
        code = Verificar(f, report);
    if (code == kUsage && !report.data().contains("resultado"))
        report.data()["resultado"] = "uso_incorreto";
    if (code != kUsage && !report.data().contains("resultado"))
        report.data()["resultado"] = "falha";
    return report.finish(code);
}
