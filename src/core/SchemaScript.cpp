#include "core/SchemaScript.h"

#include <initializer_list>

namespace brivel {

DialectWords DialectWordsFor(TTipoBanco kind) { return KindOf(kind).dialect; }

std::string GerarScriptPadrao(const std::string& AInt, const std::string& AVarchar, const std::string& AText,
                              const std::string& ADateTime, const std::string& ANow)
{
    const std::string I = AInt, T = AText, D = ADateTime;
    auto V = [&](int len) { return AVarchar + "(" + std::to_string(len) + ")"; };
    const std::string baseUrl = std::string("'http://") + kLoopbackHost + ":9000'";

    const std::initializer_list<std::string> lines = {
        "CREATE TABLE API_CONFIG (",
        "  ID_CONFIG " + I + " NOT NULL,",
        "  PORTA " + I + " DEFAULT 9000,",
        "  URL_BASE " + V(200) + ",",
        "  USAR_TOKEN CHAR(1) DEFAULT 'N',",
        "  TOKEN_API " + V(500) + ",",
        "  TIMEOUT_SEGUNDOS " + I + " DEFAULT 30,",
        "  LIMITE_REGISTROS " + I + " DEFAULT 1000,",
        "  SALVAR_LOG CHAR(1) DEFAULT 'S',",
        "  ATIVO CHAR(1) DEFAULT 'S',",
        "  DT_CADASTRO " + D + ",",
        "  CONSTRAINT PK_API_CONFIG PRIMARY KEY (ID_CONFIG)",
        ");",
        "",
        "CREATE TABLE API_ROTAS (",
        "  ID_ROTA " + I + " NOT NULL,",
        "  ROTA " + V(200) + " NOT NULL,",
        "  METODO " + V(10) + " NOT NULL,",
        "  DESCRICAO " + V(500) + ",",
        "  SQL_COMANDO " + T + ",",
        "  ATIVO CHAR(1) DEFAULT 'S',",
        "  REQUER_TOKEN CHAR(1) DEFAULT 'N',",
        "  RETORNO_TIPO " + V(20) + " DEFAULT 'JSON',",
        "  LIMITE_REGISTROS " + I + ",",
        "  DT_CADASTRO " + D + ",",
        "  DT_ALTERACAO " + D + ",",
        "  CONSTRAINT PK_API_ROTAS PRIMARY KEY (ID_ROTA)",
        ");",
        "",
        "CREATE TABLE API_ROTA_PARAMETROS (",
        "  ID_PARAMETRO " + I + " NOT NULL,",
        "  ID_ROTA " + I + " NOT NULL,",
        "  NOME_PARAMETRO " + V(100) + " NOT NULL,",
        "  ORIGEM " + V(20) + " DEFAULT 'QUERY',",
        "  TIPO_DADO " + V(20) + " DEFAULT 'STRING',",
        "  OBRIGATORIO CHAR(1) DEFAULT 'S',",
        "  VALOR_PADRAO " + V(500) + ",",
        "  VALOR_TESTE " + V(500) + ",",
        "  ORDEM " + I + ",",
        "  CONSTRAINT PK_API_ROTA_PARAMETROS PRIMARY KEY (ID_PARAMETRO),",
        "  CONSTRAINT FK_API_PARAM_ROTA FOREIGN KEY (ID_ROTA) REFERENCES API_ROTAS (ID_ROTA)",
        ");",
        "",
        "CREATE TABLE API_USUARIOS (",
        "  ID_USUARIO_API " + I + " NOT NULL,",
        "  NOME " + V(100) + " NOT NULL,",
        "  LOGIN " + V(100) + ",",
        "  TOKEN_API " + V(500) + ",",
        "  ATIVO CHAR(1) DEFAULT 'S',",
        "  PERMISSAO " + V(50) + " DEFAULT 'USER',",
        "  DT_CADASTRO " + D + ",",
        "  DT_ULTIMO_ACESSO " + D + ",",
        "  CONSTRAINT PK_API_USUARIOS PRIMARY KEY (ID_USUARIO_API)",
        ");",
        "",
        "CREATE TABLE API_LOG_CHAMADAS (",
        "  ID_LOG " + I + " NOT NULL,",
        "  DATA_HORA " + D + ",",
        "  METODO " + V(10) + ",",
        "  ROTA " + V(200) + ",",
        "  IP_CLIENTE " + V(50) + ",",
        "  PARAMETROS " + T + ",",
        "  BODY_REQUISICAO " + T + ",",
        "  STATUS_CODE " + I + ",",
        "  TEMPO_MS " + I + ",",
        "  ERRO " + T + ",",
        "  CONSTRAINT PK_API_LOG_CHAMADAS PRIMARY KEY (ID_LOG)",
        ");",
        "",
        "CREATE TABLE API_SEQUENCIAIS (",
        "  NOME_TABELA " + V(50) + " NOT NULL,",
        "  ULTIMO_ID " + I + " DEFAULT 0,",
        "  CONSTRAINT PK_API_SEQUENCIAIS PRIMARY KEY (NOME_TABELA)",
        ");",
        "",
        "INSERT INTO API_SEQUENCIAIS (NOME_TABELA, ULTIMO_ID) VALUES ('API_CONFIG', 0);",
        "INSERT INTO API_SEQUENCIAIS (NOME_TABELA, ULTIMO_ID) VALUES ('API_ROTAS', 0);",
        "INSERT INTO API_SEQUENCIAIS (NOME_TABELA, ULTIMO_ID) VALUES ('API_ROTA_PARAMETROS', 0);",
        "INSERT INTO API_SEQUENCIAIS (NOME_TABELA, ULTIMO_ID) VALUES ('API_USUARIOS', 0);",
        "INSERT INTO API_SEQUENCIAIS (NOME_TABELA, ULTIMO_ID) VALUES ('API_LOG_CHAMADAS', 0);",
        "",
        "INSERT INTO API_CONFIG ",
        "(ID_CONFIG, PORTA, URL_BASE, USAR_TOKEN, TOKEN_API, TIMEOUT_SEGUNDOS, LIMITE_REGISTROS, SALVAR_LOG, ATIVO, "
        "DT_CADASTRO)",
        "VALUES ",
        "(1, 9000, " + baseUrl + ", 'N', NULL, 30, 1000, 'S', 'S', " + ANow + ");",
        "",
        "UPDATE API_SEQUENCIAIS SET ULTIMO_ID = 1 WHERE NOME_TABELA = 'API_CONFIG';",
    };

    std::string script;
    script.reserve(4096);
    bool first = true;
    for (const std::string& line : lines) {
        if (!first)
            script += "\r\n";
        script += line;
        first = false;
    }
    return script;
}

std::string ScriptFor(TTipoBanco kind)
{
    const DialectWords w = DialectWordsFor(kind);
    return GerarScriptPadrao(w.AInt, w.AVarchar, w.AText, w.ADateTime, w.ANow);
}

} // namespace brivel
