#include "core/ConfigApiIni.h"

#include "core/AppPaths.h"
#include "core/KindDescriptor.h"
#include "core/ProfileIni.h"

namespace brivel {

std::string ConfigApiIniNotSavedText(const std::string& reason)
{
    return std::string(kConfigApiIniNotSavedHeading) + "\r\n\r\n" + kConfigApiIniNotSaved + "\r\n\r\n" + reason;
}

std::string ConfigApiIniPath(const std::string& exeFolder) { return WithTrailingSeparator(exeFolder) + "configApi.ini"; }

void SaveConfigApiIni(const std::string& path, const ConnectionFields& fields, const std::string& exeFolder)
{
    ValidarCamposConexao(fields);

    const TTipoBanco kind = fields.kind();
    const KindDescriptor& facts = KindOf(kind);

    ProfileIni ini(path);
    ini.EraseSection("BANCO");
    ini.EraseSection("API");
    for (int i = 0; i < kKindCount; ++i)
        if (KindOf(KindFromIndex(i)).iniAlias)
            ini.EraseSection(ConfigName(KindFromIndex(i)));

    ini.WriteString("BANCO", "Tipo", ConfigName(kind));
    ini.WriteString("BANCO", "Banco", facts.iniAlias ? facts.iniAlias : Trimmed(fields.database));
    ini.WriteString("BANCO", "Servidor", Trimmed(fields.servidor));
    ini.WriteString("BANCO", "Porta", Trimmed(fields.porta));
    ini.WriteString("BANCO", "Usuario", Trimmed(fields.usuario));
    ini.WriteString("BANCO", "Senha", Trimmed(fields.senha));
    ini.WriteString("BANCO", "Charset", facts.iniCharset);
    ini.WriteBool("BANCO", "UseSSL", false);
    ini.WriteInteger("API", "Porta", 9000);

    if (facts.iniAlias) {
        // The folders use the platform's separator: "network\admin" on Windows.
        const std::string tnsAdmin = WithTrailingSeparator(exeFolder) + "network" + kPathSeparator + "admin";
        ini.WriteString(facts.configName, "Alias", facts.iniAlias);
        ini.WriteString(facts.configName, "ServiceName", Trimmed(fields.database));
        ini.WriteString(facts.configName, "TNS_ADMIN", tnsAdmin);
        ini.WriteString(facts.configName, "TNSNAMES", tnsAdmin + kPathSeparator + "tnsnames.ora");
    }

    ini.Save();
}

} // namespace brivel
