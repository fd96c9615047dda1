#include "core/AppPaths.h"

#include "core/TextCodec.h"

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brivel {

namespace {
std::string& OverriddenFolder()
{
    static std::string folder;
    return folder;
}

std::string RealExecutableFolder()
{
#ifdef _WIN32
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string path = Utf16ToUtf8(std::u16string(buffer.begin(), buffer.end()));
    const auto slash = path.find_last_of("\\/");
#else
    // realpath follows a symbolic link to the program (e.g. a command in /usr/bin).
    char resolved[PATH_MAX];
    std::string path = realpath("/proc/self/exe", resolved) ? resolved : "";
    const auto slash = path.rfind('/');
#endif
    return WithTrailingSeparator(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
}
} // namespace

std::string WithTrailingSeparator(const std::string& folder)
{
    if (!folder.empty() && (folder.back() == kPathSeparator || folder.back() == '/'))
        return folder;
    return folder + kPathSeparator;
}

std::string ExecutableFolder()
{
    if (!OverriddenFolder().empty())
        return OverriddenFolder();
    static const std::string real = RealExecutableFolder();
    return real;
}

void OverrideExecutableFolder(const std::string& folder)
{
    OverriddenFolder() = folder.empty() ? std::string() : WithTrailingSeparator(folder);
}

bool FileExists(const std::string& path)
{
#ifdef _WIN32
    const std::u16string wide = Utf8ToUtf16(path);
    const DWORD attrs = GetFileAttributesW(reinterpret_cast<const wchar_t*>(wide.c_str()));
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

std::string GetEnv(const std::string& name)
{
#ifdef _WIN32
    const std::u16string wname = Utf8ToUtf16(name);
    const auto* n = reinterpret_cast<const wchar_t*>(wname.c_str());
    DWORD size = GetEnvironmentVariableW(n, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(n, value.data(), size);
    value.resize(size);
    return Utf16ToUtf8(std::u16string(value.begin(), value.end()));
#else
    const char* v = std::getenv(name.c_str());
    return v ? v : "";
#endif
}

void SetEnv(const std::string& name, const std::string& value)
{
#ifdef _WIN32
    const std::u16string wname = Utf8ToUtf16(name), wvalue = Utf8ToUtf16(value);
    SetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(wname.c_str()),
                            reinterpret_cast<const wchar_t*>(wvalue.c_str()));
    // The C runtime keeps its own copy, which getenv reads.
    _wputenv_s(reinterpret_cast<const wchar_t*>(wname.c_str()), reinterpret_cast<const wchar_t*>(wvalue.c_str()));
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

} // namespace brivel
