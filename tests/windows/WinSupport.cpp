#include "WinSupport.h"

#include "Check.h"
#include "core/TextCodec.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <windows.h>

namespace wintest {

std::wstring W(const std::string& utf8)
{
    const std::u16string u = brivel::Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string U(const std::wstring& wide) { return brivel::Utf16ToUtf8(std::u16string(wide.begin(), wide.end())); }

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(std::filesystem::path(W(path)), std::ios::binary);
    if (!in)
        throw Failure("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(std::filesystem::path(W(path)), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw Failure("cannot write " + path);
}

void CopyTo(const std::string& from, const std::string& to)
{
    if (!CopyFileW(W(from).c_str(), W(to).c_str(), FALSE))
        throw Failure("cannot copy " + from + " to " + to);
}

std::string ProgramFolder()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    std::wstring path(buffer, n);
    return U(path.substr(0, path.find_last_of(L'\\') + 1));
}

TempFolder::TempFolder(const std::string& name)
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    root_ = U(std::wstring(temp, n)) + "brivel-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++);
    path_ = root_ + "\\" + name + "\\";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(W(path_)), ec);
    if (ec)
        throw Failure("cannot create " + path_ + ": " + ec.message());
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(W(root_)), ec);
}

void TempFolder::touch(const std::string& name) const { WriteBytes(file(name), "x"); }

EnvGuard::EnvGuard(std::string name) : name_(std::move(name))
{
    const std::wstring n = W(name_);
    const DWORD size = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
    wasSet_ = size > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    if (size > 0) {
        value_.resize(size);
        value_.resize(GetEnvironmentVariableW(n.c_str(), value_.data(), size));
    }
}

EnvGuard::~EnvGuard()
{
    const std::wstring n = W(name_);
    SetEnvironmentVariableW(n.c_str(), wasSet_ ? value_.c_str() : nullptr);
    _wputenv_s(n.c_str(), wasSet_ ? value_.c_str() : L"");
}

void UnsetEnv(const std::string& name)
{
    const std::wstring n = W(name);
    SetEnvironmentVariableW(n.c_str(), nullptr);
    _wputenv_s(n.c_str(), L"");
}

} // namespace wintest
