// setupbriveldb-cli.exe run as a process: the script and an installation on SQLite.
#include "Check.h"
#include "WinSupport.h"

#include "core/SchemaScript.h"

#include <string>
#include <windows.h>

using namespace brivel;

namespace {

struct Run {
    DWORD code = 0xFFFFFFFF;
    std::string out, err;
};

// Standard output and error go to files: nothing can block on a full pipe. Each run
// has files of its own: Wine may close an ended child's copies of the handles a
// little after the process counts as ended.
Run RunCli(const std::wstring& arguments, const wintest::TempFolder& dir)
{
    static int runs = 0;
    ++runs;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::string outPath = dir.file("out" + std::to_string(runs) + ".txt"),
                      errPath = dir.file("err" + std::to_string(runs) + ".txt");
    auto create = [&](const std::string& path) {
        HANDLE h = CreateFileW(wintest::W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            throw wintest::Failure("cannot create " + path);
        return h;
    };
    HANDLE out = create(outPath), err = create(errPath);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    std::wstring line = L"\"" + wintest::W(wintest::ProgramFolder()) + L"setupbriveldb-cli.exe\" " + arguments;
    PROCESS_INFORMATION pi{};
    Run r;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 120000);
        GetExitCodeProcess(pi.hProcess, &r.code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    r.out = wintest::ReadBytes(outPath);
    r.err = wintest::ReadBytes(errPath);
    return r;
}

// The text itself when the part is missing, so a failure shows what was printed.
std::string Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos ? "found: " + part : text;
}

} // namespace

TEST_CASE("setupbriveldb-cli: script prints the wizard's text, --saida writes the export's bytes")
{
    wintest::TempFolder dir("Instalação");
    Run r = RunCli(L"script --tipo sqlite", dir);
    CHECK_EQ(r.code, DWORD(0));
    CHECK(r.out == ScriptFor(tbSQLite));  // CR LF untouched by the C runtime
    const std::string target = dir.file("brivel_sqlite.sql");
    r = RunCli(L"script --tipo \"SQL Server\" --saida \"" + wintest::W(target) + L"\"", dir);
    CHECK_EQ(r.code, DWORD(0));
    CHECK(wintest::ReadBytes(target) == "\xEF\xBB\xBF" + ScriptFor(tbSQLServer));
}

TEST_CASE("setupbriveldb-cli: instalar on SQLite in a non-ASCII folder, again, then verificar")
{
    wintest::TempFolder dir("Instalação");
    const std::wstring db = L"--tipo sqlite --banco \"" + wintest::W(dir.file("brivel ção.db")) + L"\"";
    Run r = RunCli(L"instalar " + db, dir);
    CHECK_EQ(r.code, DWORD(0));
    CHECK_EQ(Has(r.err, "Estrutura criada com sucesso."), "found: " + std::string("Estrutura criada com sucesso."));
    CHECK_EQ(Has(r.err, "Conexão encerrada."), "found: " + std::string("Conexão encerrada."));
    r = RunCli(L"instalar --json " + db, dir);
    CHECK_EQ(r.code, DWORD(0));
    CHECK_EQ(Has(r.out, "\"resultado\": \"ja_instalada\""), "found: " + std::string("\"resultado\": \"ja_instalada\""));
    r = RunCli(L"verificar " + db, dir);
    CHECK_EQ(r.code, DWORD(0));
    CHECK_EQ(Has(r.err, "Estrutura do Brivel: instalada."), "found: " + std::string("Estrutura do Brivel: instalada."));
    r = RunCli(L"instalar --tipo sqlite", dir);
    CHECK_EQ(r.code, DWORD(2));
    CHECK_EQ(Has(r.err, "Informe o banco/base/arquivo/service name."), "found: " + std::string("Informe o banco/base/arquivo/service name."));
}

TEST_CASE("setupbriveldb-cli: a file named with / is shown with \\")
{
    wintest::TempFolder dir("Instalação");
    std::string config = dir.file("configApi.ini");
    for (char& c : config)
        if (c == '\\')
            c = '/';
    Run r = RunCli(L"testar --tipo sqlite --banco \"" + wintest::W(dir.file("brivel.db")) + L"\" --config \"" +
                       wintest::W(config) + L"\"",
                   dir);
    CHECK_EQ(r.code, DWORD(0));
    std::string shown = config;
    for (char& c : shown)
        if (c == '/')
            c = '\\';
    const std::string line = "Arquivo configApi.ini criado em: " + shown;
    CHECK_EQ(Has(r.err, line), "found: " + line);
}
