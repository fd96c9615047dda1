#pragma once
#include <string>

namespace brivel {

// Why configApi.ini could not be written into the folder the way the writer
// writes it (a temporary file beside it, then put in its place), found without
// changing an existing configApi.ini; empty when it can be. The reason is in
// Portuguese and carries the system's error code.
std::string ConfigFolderWriteProblem(const std::string& folder);

} // namespace brivel
