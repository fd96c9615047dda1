// configApi.ini written by our writer and read back by Windows' own profile API.
#include "Check.h"
#include "WinSupport.h"

#include "core/ConfigApiIni.h"
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"

#include <windows.h>

using namespace brivel;
using wintest::TempFolder;
using wintest::U;
using wintest::W;

namespace {
using Entries = std::vector<std::string>;  // "key=value", in file order
struct Section {
    std::string name;
    Entries entries;
    bool operator==(const Section&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Section& s) { return os << "[" << s.name << "] " << wintest::Show(s.entries); }

// "a\0b\0\0" -> {"a", "b"}
std::vector<std::string> SplitNulls(const std::wstring& buffer, DWORD length)
{
    std::vector<std::string> out;
    for (size_t at = 0; at < length && buffer[at];) {
        const size_t end = buffer.find(L'\0', at);
        out.push_back(U(buffer.substr(at, end - at)));
        at = end + 1;
    }
    return out;
}

// The whole file as the profile API sees it; every key is also read on its own.
std::vector<Section> ReadWithProfileApi(const std::string& path)
{
    const std::wstring file = W(path);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());  // drop any cached copy
    std::wstring buffer(65536, L'\0');
    const DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<Section> sections;
    for (const std::string& name : SplitNulls(buffer, n)) {
        std::wstring entries(65536, L'\0');
        const DWORD m = GetPrivateProfileSectionW(W(name).c_str(), entries.data(), 65536, file.c_str());
        Section s{name, SplitNulls(entries, m)};
        for (const std::string& entry : s.entries) {
            const std::string key = entry.substr(0, entry.find('='));
            wchar_t value[4096];
            const DWORD got = GetPrivateProfileStringW(W(name).c_str(), W(key).c_str(), L"<ausente>", value, 4096,
                                                       file.c_str());
            CHECK_EQ(key + "=" + U(std::wstring(value, got)), entry);
        }
        sections.push_back(std::move(s));
    }
    return sections;
}

ConnectionFields Fields(TTipoBanco kind, std::string server, std::string database, std::string port,
                        std::string user, std::string password)
{
    ConnectionFields f;
    f.kindIndex = kind;
    f.servidor = std::move(server);
    f.database = std::move(database);
    f.porta = std::move(port);
    f.usuario = std::move(user);
    f.senha = std::move(password);
    return f;
}

std::string Head(const std::string& bytes, size_t n) { return bytes.substr(0, n); }
} // namespace

TEST_CASE("configApi.ini: a new Windows-1252 file reads back through GetPrivateProfileSection*W")
{
    TempFolder dir("Instalação");
    const std::string path = ConfigApiIniPath(dir.path());
    SaveConfigApiIni(path, Fields(tbMySQL, " srv-ção ", " vendas ", " 3306", " joão ", "s€nha ç "), dir.path());

    const std::string bytes = wintest::ReadBytes(path);
    CHECK_EQ(Head(bytes, 7), std::string("[BANCO]"));  // no byte-order mark
    CHECK(bytes.find("Usuario=jo\xE3o\r\n") != std::string::npos);
    CHECK(bytes.find("Senha=s\x80nha \xE7\r\n") != std::string::npos);

    const std::vector<Section> expected = {
        {"BANCO",
         {"Tipo=MYSQL", "Banco=vendas", "Servidor=srv-ção", "Porta=3306", "Usuario=joão", "Senha=s€nha ç",
          "Charset=utf8mb4", "UseSSL=0"}},
        {"API", {"Porta=9000"}},
    };
    CHECK_EQ(ReadWithProfileApi(path), expected);
}

TEST_CASE("configApi.ini: text outside Windows-1252 gives a UTF-16 file that Windows reads, and stays UTF-16")
{
    TempFolder dir("Instalação");
    const std::string f = dir.path();
    const std::string path = ConfigApiIniPath(f);
    SaveConfigApiIni(path, Fields(tbOracle, "192.0.2.15", "VENDAS_Ł", "1521", "Łukasz", "пароль"), f);

    CHECK_EQ(Head(wintest::ReadBytes(path), 2), std::string("\xFF\xFE"));
    std::vector<Section> expected = {
        {"BANCO",
         {"Tipo=ORACLE", "Banco=TESSAN_ORACLE", "Servidor=192.0.2.15", "Porta=1521", "Usuario=Łukasz",
          "Senha=пароль", "Charset=UTF8", "UseSSL=0"}},
        {"API", {"Porta=9000"}},
        {"ORACLE",
         {"Alias=TESSAN_ORACLE", "ServiceName=VENDAS_Ł", "TNS_ADMIN=" + f + "network\\admin",
          "TNSNAMES=" + f + "network\\admin\\tnsnames.ora"}},
    };
    CHECK_EQ(ReadWithProfileApi(path), expected);

    // A later save of plain text keeps the file's encoding and drops the Oracle section.
    SaveConfigApiIni(path, Fields(tbPostgreSQL, "db.local", "vendas", "5432", "api", "x"), f);
    CHECK_EQ(Head(wintest::ReadBytes(path), 2), std::string("\xFF\xFE"));
    expected = {
        {"BANCO",
         {"Tipo=POSTGRESQL", "Banco=vendas", "Servidor=db.local", "Porta=5432", "Usuario=api", "Senha=x",
          "Charset=utf8", "UseSSL=0"}},
        {"API", {"Porta=9000"}},
    };
    CHECK_EQ(ReadWithProfileApi(path), expected);
}

TEST_CASE("configApi.ini: saving into a file Windows wrote keeps its foreign section, which then stands first")
{
    TempFolder dir("Api");
    const std::string path = ConfigApiIniPath(dir.path());
    const std::wstring file = W(path);
    // Written by Windows itself: BANCO, then a section of its own, then API.
    CHECK(WritePrivateProfileStringW(L"BANCO", L"Tipo", L"ANTIGO", file.c_str()));
    CHECK(WritePrivateProfileStringW(L"BANCO", L"Extra", L"sai", file.c_str()));
    CHECK(WritePrivateProfileStringW(L"LOG", L"Nivel", L"2", file.c_str()));
    CHECK(WritePrivateProfileStringW(L"LOG", L"Arquivo", L"C:\\Logs\\ção.log", file.c_str()));
    CHECK(WritePrivateProfileStringW(L"API", L"Porta", L"1", file.c_str()));
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());

    const std::string db = dir.path() + "brivel.db";
    SaveConfigApiIni(path, Fields(tbSQLite, "", "  " + db + " ", "", "", ""), dir.path());

    const std::vector<Section> expected = {
        {"LOG", {"Nivel=2", "Arquivo=C:\\Logs\\ção.log"}},
        {"BANCO",
         {"Tipo=SQLITE", "Banco=" + db, "Servidor=", "Porta=", "Usuario=", "Senha=", "Charset=UTF8", "UseSSL=0"}},
        {"API", {"Porta=9000"}},
    };
    CHECK_EQ(ReadWithProfileApi(path), expected);
}

TEST_CASE("configApi.ini: GetPrivateProfileStringW reads back exactly the texts the connection test used")
{
    // Windows' reader strips blanks around a value and one pair of matching quotes.
    const std::vector<std::string> typed = {
        " a;b ",          "' a;b '",     "\"x y\"",   "a=b#c[d]", "[API]",        ";x#",
        "'",              "\"",          "''",        "\"unbalanced", "it's \"ok\"", "\t'q'\t",
        "\xC2\xA0nbsp\xC2\xA0", "'пароль'", "ção€ = ' x",
    };
    TempFolder dir("Api");
    const std::string path = ConfigApiIniPath(dir.path());
    const std::wstring file = W(path);
    for (const std::string& text : typed) {
        wintest::Row row("typed " + wintest::Show(text));
        const ConnectionFields f = Fields(tbPostgreSQL, text, text, "5432", text, text);
        SaveConfigApiIni(path, f, dir.path());
        const ConnectionDefinition def = DefinitionFor(f);

        WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());  // drop any cached copy
        auto read = [&](const wchar_t* key) {
            wchar_t value[4096];
            const DWORD got = GetPrivateProfileStringW(L"BANCO", key, L"<ausente>", value, 4096, file.c_str());
            return U(std::wstring(value, got));
        };
        CHECK_EQ(read(L"Senha"), def.value("Password"));
        CHECK_EQ(read(L"Usuario"), def.value("User_Name"));
        CHECK_EQ(read(L"Servidor"), def.value("Server"));
        CHECK_EQ(read(L"Banco"), def.value("Database"));
        CHECK(!def.value("Password").empty());
    }
}

TEST_CASE("configApi.ini: a refused save says why in Portuguese, with the system's reason, and changes nothing")
{
    TempFolder dir("Api");
    const std::string path = ConfigApiIniPath(dir.path());
    const ConnectionFields fields = Fields(tbMySQL, "srv", "vendas", "3306", "api", "x");

    // The read-only attribute: refused although a rename could replace the file.
    const std::string before = "[OUTRA]\r\nChave=1\r\n";
    wintest::WriteBytes(path, before);
    CHECK(SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_EQ(ERROR_MESSAGE(SaveConfigApiIni(path, fields, dir.path())),
             "Não foi possível gravar o arquivo " + path + ": o arquivo está marcado como somente leitura");
    SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK_EQ(wintest::ReadBytes(path), before);

    // A folder that does not exist: the system's own text follows the path.
    const std::string missing = dir.file("nao-existe\\configApi.ini");
    const std::string message = ERROR_MESSAGE(SaveConfigApiIni(missing, fields, dir.path()));
    const std::string head = "Não foi possível gravar o arquivo " + missing + ": ";
    CHECK_EQ(message.substr(0, head.size()), head);
    CHECK(message.size() > head.size() + 3);
    CHECK(message.find("Unable") == std::string::npos);
}
