#include "core/ConfigApiIni.h"

#include "core/Error.h"

namespace brivel {

std::string ConfigApiIniPath(const std::string& exeFolder) { return exeFolder + "configApi.ini"; }

void SaveConfigApiIni(const std::string& path, const ConnectionFields& fields, const std::string&)
{
    ValidarCamposConexao(fields);
    throw Error("Unable to write to " + path);
}

} // namespace brivel
