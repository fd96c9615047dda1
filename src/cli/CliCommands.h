#pragma once
#include "cli/CliOptions.h"
#include "cli/CliReport.h"

namespace brivel::cli {

// Each returns the exit code; bad fields give kUsage before anything connects.
int Testar(const Options& o, const ConnectionFields& f, Report& report);
int Script(const Options& o, const ConnectionFields& f, Report& report);
int Instalar(const Options& o, const ConnectionFields& f, Report& report);
int Verificar(const ConnectionFields& f, Report& report);

} // namespace brivel::cli
