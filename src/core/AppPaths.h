#pragma once
#include <string>

namespace brivel {

// The running executable's folder, ending in exactly one path separator.
std::string ExecutableFolder();
// Tests point the program at a folder of their own; an empty text restores the real one.
void OverrideExecutableFolder(const std::string& folder);

// Adds one separator when the text lacks it.
std::string WithTrailingSeparator(const std::string& folder);

// True when a file, not a folder, exists at the path.
bool FileExists(const std::string& path);

// Reading an unset variable gives the empty text.
std::string GetEnv(const std::string& name);
void SetEnv(const std::string& name, const std::string& value);

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr char kPathListSeparator = ';';
#else
inline constexpr char kPathSeparator = '/';
inline constexpr char kPathListSeparator = ':';
#endif

} // namespace brivel
