#include "core/ConfigApiIni.h"

#include "core/AppPaths.h"
#include "core/ProfileIni.h"

namespace brivel {

namespace {
const char* Charset(TTipoBanco kind)
{
    switch (kind) {
    case tbMySQL:
        return "utf8mb4";
    case tbFirebird:
        return "NONE";
    case tbPostgreSQL:
        return "utf8";
    case tbOracle:
    case tbSQLServer:
    case tbSQLite:
        break;
    }
    return "UTF8";
}

constexpr const char* kOracleAlias = "TESSAN_ORACLE";
} // namespace

std::string ConfigApiIniNotSavedText(const std::string& reason)
{
    return std::string(kConfigApiIniNotSavedHeading) + "\r\n\r\n" + kConfigApiIniNotSaved + "\r\n\r\n" + reason;
}

std::string ConfigApiIniPath(const std::string& exeFolder) { return WithTrailingSeparator(exeFolder) + "configApi.ini"; }

void SaveConfigApiIni(const std::string& path, const ConnectionFields& fields, const std::string& exeFolder)
{
    ValidarCamposConexao(fields);

    const TTipoBanco kind = fields.kind();
    const bool oracle = kind == tbOracle;

    ProfileIni ini(path);
    ini.EraseSection("BANCO");
    ini.EraseSection("API");
    ini.EraseSection("ORACLE");

    ini.WriteString("BANCO", "Tipo", ConfigName(kind));
    ini.WriteString("BANCO", "Banco", oracle ? kOracleAlias : Trimmed(fields.database));
    ini.WriteString("BANCO", "Servidor", Trimmed(fields.servidor));
    ini.WriteString("BANCO", "Porta", Trimmed(fields.porta));
    ini.WriteString("BANCO", "Usuario", Trimmed(fields.usuario));
    ini.WriteString("BANCO", "Senha", Trimmed(fields.senha));
    ini.WriteString("BANCO", "Charset", Charset(kind));
    ini.WriteBool("BANCO", "UseSSL", false);
    ini.WriteInteger("API", "Porta", 9000);

    if (oracle) {
        // The folders use the platform's separator: "network\admin" on Windows.
        const std::string tnsAdmin = WithTrailingSeparator(exeFolder) + "network" + kPathSeparator + "admin";
        ini.WriteString("ORACLE", "Alias", kOracleAlias);
        ini.WriteString("ORACLE", "ServiceName", Trimmed(fields.database));
        ini.WriteString("ORACLE", "TNS_ADMIN", tnsAdmin);
        ini.WriteString("ORACLE", "TNSNAMES", tnsAdmin + kPathSeparator + "tnsnames.ora");
    }

    ini.Save();
}

} // namespace brivel
