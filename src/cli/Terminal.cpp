#include "cli/Terminal.h"

#include "core/Error.h"
#include "core/TextCodec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace brivel::cli {

namespace {
bool IsPasswordOption(const char* arg) { return std::strcmp(arg, "--senha") == 0; }
bool IsPasswordAssignment(const char* arg) { return std::strncmp(arg, "--senha=", 8) == 0; }

#ifdef _WIN32
std::wstring Wide(const std::string& utf8)
{
    const std::u16string w = Utf8ToUtf16(utf8);
    return std::wstring(w.begin(), w.end());
}
std::string Utf8(const wchar_t* wide) { return Utf16ToUtf8(std::u16string(wide, wide + std::wcslen(wide))); }
#endif
} // namespace

std::vector<std::string> ArgumentsUtf8(int argc, char** argv)
{
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argv;
    int n = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i)
            args.push_back(Utf8(wide[i]));
        LocalFree(wide);
        if (n == argc)
            return args;
        args.clear();
    }
#endif
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

void HidePasswordArgument(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        char* value = nullptr;
        if (IsPasswordOption(argv[i]) && i + 1 < argc)
            value = argv[i + 1];
        else if (IsPasswordAssignment(argv[i]))
            value = argv[i] + 8;
        if (value)
            std::memset(value, '*', std::strlen(value));
    }
}

void BinaryStandardOutput()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
#endif
}

bool StandardInputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdin)) != 0;
#else
    return ::isatty(STDIN_FILENO) != 0;
#endif
}

std::string PromptWithoutEcho(const std::string& prompt)
{
    std::string line;
#ifdef _WIN32
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;
    if (console)
        SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::cerr << prompt << std::flush;
    std::getline(std::cin, line);
    if (console)
        SetConsoleMode(in, mode);
#else
    termios old {};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        // TCSANOW: input already typed (a password pasted early) is kept.
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    // The prompt comes once echo is off, so nothing typed after it is shown.
    std::cerr << prompt << std::flush;
    std::getline(std::cin, line);
    if (tty)
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
#endif
    std::cerr << "\n" << std::flush;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
#ifdef _WIN32
    FILE* f = _wfopen(Wide(path).c_str(), L"rb");
#else
    FILE* f = std::fopen(path.c_str(), "rb");
#endif
    if (!f)
        return false;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void WriteFileReplacing(const std::string& path, const std::string& bytes)
{
    const std::string temp = path + ".tmp-brivel";
    auto fail = [&](const std::string& reason) {
        throw Error("Não foi possível gravar o arquivo " + path + ": " + reason);
    };
#ifdef _WIN32
    const std::wstring wtemp = Wide(temp);
    FILE* f = _wfopen(wtemp.c_str(), L"wb");
    if (!f)
        fail(std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        _wremove(wtemp.c_str());
        fail("falha na escrita");
    }
    if (!MoveFileExW(wtemp.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        _wremove(wtemp.c_str());
        fail("não foi possível substituir o arquivo");
    }
#else
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        fail(std::strerror(errno));
    size_t done = 0;
    int err = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(temp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err) {
        ::unlink(temp.c_str());
        fail(std::strerror(err));
    }
#endif
}

} // namespace brivel::cli
