#pragma once
#include <string>
#include <vector>

namespace brivel::cli {

// The program's arguments as UTF-8 (on Windows from the wide command line).
std::vector<std::string> ArgumentsUtf8(int argc, char** argv);

// Overwrites the value of --senha in the process's own argument memory, so that
// the process list does not show it for the rest of the run.
void HidePasswordArgument(int argc, char** argv);

// Standard output takes the script's bytes unchanged (no CR LF translation).
void BinaryStandardOutput();

bool StandardInputIsTerminal();

// Shows `prompt` on standard error and reads one line without echo.
std::string PromptWithoutEcho(const std::string& prompt);

bool ReadWholeFile(const std::string& path, std::string& bytes);

// Writes a temporary file beside the target and renames it over the target, so a
// failure leaves an existing file as it was. Throws brivel::Error naming the path.
void WriteFileReplacing(const std::string& path, const std::string& bytes);

} // namespace brivel::cli
