#pragma once
// Helpers of the Windows tests: wide paths, files, temporary folders, environment.
#include <string>

namespace wintest {

std::wstring W(const std::string& utf8);
std::string U(const std::wstring& wide);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
void CopyTo(const std::string& from, const std::string& to);

// The folder of this test program, ending in "\".
std::string ProgramFolder();

// A fresh folder under %TEMP%, removed with everything in it at the end.
// `name` is the last part of its path, e.g. "Instalação".
class TempFolder {
public:
    explicit TempFolder(const std::string& name = "pasta");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Ends in "\".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }
    void touch(const std::string& name) const;

private:
    std::string root_;
    std::string path_;
};

// Restores an environment variable (or its absence) at the end of a test.
class EnvGuard {
public:
    explicit EnvGuard(std::string name);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name_;
    bool wasSet_ = false;
    std::wstring value_;
};
// Removes the variable from the process (GetEnv then gives the empty text).
void UnsetEnv(const std::string& name);

} // namespace wintest
