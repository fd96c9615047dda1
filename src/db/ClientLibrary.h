#pragma once
#include <memory>
#include <string>
#include <vector>

namespace brivel::db {

// A client library loaded at run time. Functions are resolved by the adapters'
// function tables right after loading; a missing file or symbol is an Error
// that names the file (and the symbol).
//
// A library, once loaded, stays loaded for the life of the process: unloading
// leaks what it allocated for itself (thread data, caches), some libraries crash
// in their exit handlers once unloaded (fbclient), and loading again costs as
// much as the first time. Loading a file that is already loaded gives the same
// object.
class ClientLibrary {
public:
    ClientLibrary(const ClientLibrary&) = delete;
    ClientLibrary& operator=(const ClientLibrary&) = delete;

    // The first of `files` that is loaded or loads; `what` names the library in
    // messages ("MySQL"). On failure the message lists each file tried with the
    // loader's reason; a failed file is tried again by the next call.
    static std::shared_ptr<ClientLibrary> Load(const std::vector<std::string>& files, const std::string& what);

    void* symbol(const char* name) const;

    template <class Fn>
    void resolve(Fn& fn, const char* name) const
    {
        fn = reinterpret_cast<Fn>(symbol(name));
    }

    // A function that older versions of the library lack: null when absent.
    template <class Fn>
    void resolveOptional(Fn& fn, const char* name) const
    {
        fn = reinterpret_cast<Fn>(optionalSymbol(name));
    }
    void* optionalSymbol(const char* name) const;

    const std::string& file() const { return file_; }

private:
    ClientLibrary(void* handle, std::string file) : handle_(handle), file_(std::move(file)) {}
    void* handle_;
    std::string file_;
};

} // namespace brivel::db
