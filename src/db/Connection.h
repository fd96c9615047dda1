#pragma once
#include "core/ConnectionDefinition.h"
#include "db/DbAdapter.h"
#include "db/DriverLink.h"

#include <memory>
#include <string>

namespace brivel::db {

// Told when the layer starts and ends a piece of work (the busy pointer).
class BusyObserver {
public:
    virtual ~BusyObserver() = default;
    virtual void busyBegin() = 0;
    virtual void busyEnd() = 0;
};

// The PostgreSQL and Oracle links; the other kinds find their libraries themselves.
struct DriverLinks {
    DriverLink* pg = nullptr;
    DriverLink* oracle = nullptr;
};

// The single database connection: a definition, and an adapter of its kind while open.
class Connection {
public:
    explicit Connection(DriverLinks links = {});
    ~Connection();

    void setDriverID(const std::string& id) { def_.setDriverID(id); }
    const std::string& driverID() const { return def_.driverID(); }
    // Empty text removes the name.
    void setParam(const std::string& name, const std::string& value) { def_.set(name, value); }
    void clearParams() { def_.clear(); }
    const ConnectionDefinition& definition() const { return def_; }
    void setLoginPrompt(bool on) { def_.loginPrompt = on; }
    bool loginPrompt() const { return def_.loginPrompt; }

    void open();
    bool connected() const;
    void close() noexcept;  // keeps the definition

    void execSQL(const std::string& sql);
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    // Runs a query holding the marker ":NAME" once (a ":" inside a quoted literal
    // stays text), binds `value` as text and reads integer column `column` of the first row.
    long long queryInt(const std::string& sql, const std::string& paramName, const std::string& value,
                       const std::string& column);

    void setBusyObserver(BusyObserver* observer) { busy_ = observer; }

private:
    class BusyScope;
    DbAdapter& adapter();
    std::unique_ptr<DbAdapter> createAdapter(const std::string& driverId);
    [[noreturn]] void rethrowScrubbed(const std::exception& e) const;

    ConnectionDefinition def_;
    DriverLinks links_;
    std::unique_ptr<DbAdapter> adapter_;
    std::string adapterDriver_;
    BusyObserver* busy_ = nullptr;
};

// Replaces the named marker outside quoted literals and comments with `replacement`.
std::string ReplaceParameterMarker(const std::string& sql, const std::string& name, const std::string& replacement);

} // namespace brivel::db
