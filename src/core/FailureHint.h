#pragma once
#include "core/ConnectionDefinition.h"
#include "core/Error.h"

#include <string>

namespace brivel {

// One Portuguese line naming the likely cause of a failure on the connection
// `def` describes, and what to check; empty when the cause is unknown.
std::string FailureHint(FailureCause cause, const ConnectionDefinition& def);

// `message` unchanged, then the hint on a line of its own when there is one.
std::string WithFailureHint(const std::string& message, FailureCause cause, const ConnectionDefinition& def);

} // namespace brivel
