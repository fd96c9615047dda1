// The kind list: each kind's descriptor in its place, found again by its driver id.
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/KindDescriptor.h"

#include <QtTest>

#include <set>

using namespace brivel;

class KindDescriptorsTest : public QObject {
    Q_OBJECT
private slots:
    // The entry at index i of the list the user picks from is the kind with value i,
    // and everything keyed by name or driver id finds that same kind.
    void eachKindInItsPlace()
    {
        std::set<std::string> displays, configs, drivers;
        for (int i = 0; i < kKindCount; ++i) {
            const TTipoBanco kind = static_cast<TTipoBanco>(i);
            const KindDescriptor& d = KindOf(kind);
            QCOMPARE(int(d.kind), i);
            QCOMPARE(KindOfDriver(d.driverId), &d);
            QVERIFY(displays.insert(d.displayName).second);
            QVERIFY(configs.insert(d.configName).second);
            QVERIFY(drivers.insert(d.driverId).second);
            QVERIFY2(!d.clientLibraries.onLinux.empty() && !d.clientLibraries.onWindows.empty(), d.displayName);
            QVERIFY2(!(d.ddlTransactional && d.ddlNeedsCommit), d.displayName);
            // A file on this machine has no server to reach at a port.
            QCOMPARE(d.databaseIsFile, std::string(d.defaultPort).empty());
        }
        QCOMPARE(KindOfDriver(""), nullptr);
        QCOMPARE(KindOfDriver("pg"), nullptr);  // driver ids are matched exactly
        QCOMPARE(KindOfDriver("Postgres"), nullptr);
    }

    // The definition of every kind starts with its driver id and never carries an
    // empty value (an empty field leaves its parameter out).
    void definitionOfEachKind()
    {
        for (int i = 0; i < kKindCount; ++i) {
            ConnectionFields f{i, " srv ", " base ", "", " u ", ""};
            const ConnectionDefinition def = DefinitionFor(f);
            QCOMPARE(def.driverID(), std::string(DriverId(static_cast<TTipoBanco>(i))));
            QCOMPARE(def.params().front(), (ConnectionDefinition::Param{"DriverID", def.driverID()}));
            QVERIFY(!def.has("Port") && !def.has("Password"));
            for (const auto& [name, value] : def.params())
                QVERIFY2(!value.empty() && value.front() != ' ' && value.back() != ' ', name.c_str());
        }
    }
};

QTEST_GUILESS_MAIN(KindDescriptorsTest)
#include "test_kind_descriptors.moc"
