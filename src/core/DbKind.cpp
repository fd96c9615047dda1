#include "core/DbKind.h"

#include "core/KindDescriptor.h"

#include <iterator>

namespace brivel {

// Each in its own file of core/kinds.
const KindDescriptor& MySqlKind();
const KindDescriptor& FirebirdKind();
const KindDescriptor& OracleKind();
const KindDescriptor& SqlServerKind();
const KindDescriptor& SqliteKind();
const KindDescriptor& PostgreSqlKind();

namespace {
// The kind list, in the order of TTipoBanco (the order the user sees).
constexpr const KindDescriptor& (*kKinds[])() = {&MySqlKind,  &FirebirdKind, &OracleKind,
                                                 &SqlServerKind, &SqliteKind, &PostgreSqlKind};
static_assert(std::size(kKinds) == kKindCount);
} // namespace

const KindDescriptor& KindOf(TTipoBanco kind) { return kKinds[kind](); }

const KindDescriptor* KindOfDriver(const std::string& driverId)
{
    for (auto descriptor : kKinds)
        if (driverId == descriptor().driverId)
            return &descriptor();
    return nullptr;
}

TTipoBanco KindFromIndex(int index)
{
    return (index >= 1 && index < kKindCount) ? static_cast<TTipoBanco>(index) : tbMySQL;
}

const char* DisplayName(TTipoBanco kind) { return KindOf(kind).displayName; }
const char* ConfigName(TTipoBanco kind) { return KindOf(kind).configName; }
const char* DefaultPort(TTipoBanco kind) { return KindOf(kind).defaultPort; }
const char* DriverId(TTipoBanco kind) { return KindOf(kind).driverId; }

} // namespace brivel
