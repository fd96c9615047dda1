#include "core/FolderAccess.h"

#include "core/AppPaths.h"
#include "core/ConfigApiIni.h"
#include "core/TextCodec.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brivel {

namespace {

std::atomic<unsigned> probeCounter{0};

#ifdef _WIN32
std::wstring Wide(const std::string& utf8)
{
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string Reason(DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
        return "acesso negado (código 5)";
    case ERROR_WRITE_PROTECT:
        return "a unidade está protegida contra gravação (código 19)";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "a pasta não existe (código " + std::to_string(code) + ")";
    case ERROR_DISK_FULL:
        return "não há espaço no disco (código 112)";
    default:
        break;
    }
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text ? Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(text))) : std::string();
    if (text)
        LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    return (reason.empty() ? "erro" : reason) + " (código " + std::to_string(code) + ")";
}

std::string Problem(const std::string& folder)
{
    // A file of our own, created and removed: what the writer's temporary file needs.
    const std::wstring base = Wide(ConfigApiIniPath(WithTrailingSeparator(folder)));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring probe = base + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(probeCounter++) + L".probe";
        HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            if (e == ERROR_FILE_EXISTS)
                continue;
            return Reason(e);
        }
        CloseHandle(h);
        DeleteFileW(probe.c_str());
        break;
    }
    // An existing file: opened for writing and closed unchanged.
    const DWORD attrs = GetFileAttributesW(base.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return {};
    if (attrs & FILE_ATTRIBUTE_READONLY)
        return "o arquivo configApi.ini existente é somente leitura";
    HANDLE h = CreateFileW(base.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "o arquivo configApi.ini existente não pode ser alterado: " + Reason(GetLastError());
    CloseHandle(h);
    return {};
}
#else
std::string Reason(int code)
{
    switch (code) {
    case EACCES:
    case EPERM:
        return std::string("permissão negada (") + (code == EACCES ? "EACCES" : "EPERM") + ")";
    case EROFS:
        return "o sistema de arquivos é somente leitura (EROFS)";
    case ENOENT:
    case ENOTDIR:
        return "a pasta não existe (" + std::string(code == ENOENT ? "ENOENT" : "ENOTDIR") + ")";
    case ENOSPC:
    case EDQUOT:
        return "não há espaço no disco (" + std::string(code == ENOSPC ? "ENOSPC" : "EDQUOT") + ")";
    default:
        return std::string(std::strerror(code)) + " (errno " + std::to_string(code) + ")";
    }
}

std::string Problem(const std::string& folder)
{
    // A file of our own, created and removed: what the writer's temporary file needs.
    const std::string base = ConfigApiIniPath(WithTrailingSeparator(folder));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe =
            base + "." + std::to_string(::getpid()) + "-" + std::to_string(probeCounter++) + ".probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return Reason(errno);
        }
        ::close(fd);
        ::unlink(probe.c_str());
        break;
    }
    // An existing file: the writer refuses to replace one without write permission,
    // root included (as Windows refuses a read-only file).
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return "configApi.ini não é um arquivo";
    if ((st.st_mode & 0222) == 0)
        return "o arquivo configApi.ini existente é somente leitura";
    if (::access(base.c_str(), W_OK) != 0)
        return "o arquivo configApi.ini existente não pode ser alterado: " + Reason(errno);
    return {};
}
#endif

} // namespace

std::string ConfigFolderWriteProblem(const std::string& folder) { return Problem(folder); }

} // namespace brivel
