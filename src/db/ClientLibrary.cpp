#include "db/ClientLibrary.h"

#include "core/Error.h"
#include "core/LocalClients.h"
#include "core/TextCodec.h"

#include <map>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace brivel::db {

namespace {
void* OpenLibrary(const std::string& file, std::string& reason)
{
#ifdef _WIN32
    const std::u16string wide = Utf8ToUtf16(file);
    HMODULE h = LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str()));
    if (!h) {
        const DWORD code = GetLastError();
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        reason = text ? Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(text))) : "erro " + std::to_string(code);
        if (text)
            LocalFree(text);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
            reason.pop_back();
    }
    return h;
#else
    void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* err = dlerror();
        reason = err ? err : "dlopen falhou";
    }
    return h;
#endif
}
} // namespace

std::shared_ptr<ClientLibrary> ClientLibrary::Load(const std::vector<std::string>& files, const std::string& what)
{
    // Every library loaded, by the name it was loaded with. Never destroyed, so
    // nothing is unloaded, not even by the destructors that run at exit.
    static std::mutex& mutex = *new std::mutex;
    static auto& loaded = *new std::map<std::string, std::shared_ptr<ClientLibrary>>;
    std::lock_guard lock(mutex);

    std::string reasons;
    for (const auto& file : files) {
        if (const auto it = loaded.find(file); it != loaded.end())
            return it->second;
        std::string reason;
        if (void* h = OpenLibrary(file, reason)) {
            auto library = std::shared_ptr<ClientLibrary>(new ClientLibrary(h, file));
            loaded.emplace(file, library);
            return library;
        }
        reasons += "\n" + file + ": " + reason;
    }
    // The loader's reasons for a library of the wrong architecture are obscure
    // ("%1 is not a valid Win32 application", "wrong ELF class"): say what fits.
    throw Error("Não foi possível carregar a biblioteca cliente do " + what + "." + reasons +
                "\nA biblioteca cliente precisa ser " + ClientArchitectureText() + ".");
}

void* ClientLibrary::optionalSymbol(const char* name) const
{
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

void* ClientLibrary::symbol(const char* name) const
{
#ifdef _WIN32
    void* p = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    void* p = dlsym(handle_, name);
#endif
    if (!p)
        throw Error("A função " + std::string(name) + " não foi encontrada na biblioteca " + file_ + ".");
    return p;
}

} // namespace brivel::db
