// The adapters a build compiles, found by driver id from the kind list.
#include "db/AdapterRegistry.h"
#include "db/Connection.h"
#include "support/ErrorOf.h"

#include "core/KindDescriptor.h"

#include <QtTest>

using namespace brivel;
using brivel::test::ErrorOf;

class AdapterRegistryTest : public QObject {
    Q_OBJECT
private slots:
    // This build compiles every kind's adapter, each once.
    void everyKindHasOneAdapter()
    {
        for (int i = 0; i < kKindCount; ++i) {
            int found = 0;
            for (const db::AdapterRegistration* r : db::RegisteredAdapters())
                found += r->kind == static_cast<TTipoBanco>(i);
            QVERIFY2(found == 1, DisplayName(static_cast<TTipoBanco>(i)));
        }
        QCOMPARE(int(db::RegisteredAdapters().size()), kKindCount);
    }

    // The kinds that find their own library give a closed adapter without touching it.
    void createsClosedAdapters()
    {
        for (TTipoBanco kind : {tbMySQL, tbFirebird, tbSQLServer, tbSQLite}) {
            const auto adapter = db::CreateAdapter(DriverId(kind), nullptr);
            QVERIFY2(adapter && !adapter->isOpen(), DisplayName(kind));
        }
    }

    void unknownDriverIdIsRefused()
    {
        db::Connection c;
        c.setDriverID("Access");
        QVERIFY(ErrorOf([&] { c.open(); }).startsWith(QStringLiteral("Tipo de driver desconhecido: \"Access\".")));
        QVERIFY(!c.connected());
    }
};

QTEST_GUILESS_MAIN(AdapterRegistryTest)
#include "test_adapter_registry.moc"
