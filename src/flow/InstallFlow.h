#pragma once
#include "core/DbKind.h"
#include "db/Connection.h"

#include <atomic>
#include <string>
#include <vector>

namespace brivel {

// Where the flow reports its steps, one message at a time.
class InstallLog {
public:
    virtual ~InstallLog() = default;
    virtual void line(const std::string& msg) = 0;
};

enum class InstallOutcome { Installed, AlreadyInstalled, Incomplete, Failed };

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Failed;
    std::string error;                    // Failed: the failure's message
    std::vector<std::string> created;     // tables this run created, oldest first
    std::vector<std::string> undone;      // of those, removed again (newest first)
    std::vector<std::string> leftBehind;  // of those, still in the database after the failure
    std::vector<std::string> found;       // AlreadyInstalled/Incomplete: Brivel tables present
    std::vector<std::string> missing;     // Incomplete: Brivel tables absent
};

// Which Brivel tables and seed rows a database holds.
struct StructureState {
    enum State { Installed, NotInstalled, Partial };
    std::vector<std::string> found, missing;  // in creation order
    bool configSeed = false;                   // API_CONFIG's row, numbered by API_SEQUENCIAIS
    bool sequenceSeeds = false;                // API_SEQUENCIAIS's five rows
    State state() const;
};

// The installation of the Brivel structure on an already defined connection: the
// existence check, the script run statement by statement in one transaction and,
// on failure, the undo. Thread-agnostic: everything goes out through the log and
// the result.
class InstallFlow {
public:
    InstallFlow(db::Connection& connection, TTipoBanco kind, std::string displayName, InstallLog& log);

    // Opens the connection when closed and installs. Leaves the connection open.
    // Failures before the transaction (open, existence query, starting it) are thrown.
    InstallResult run();

    // Closes the connection when open and logs so. Never throws.
    void close() noexcept;

    // May be called from any thread; the run stops before its next statement and is undone.
    void requestCancel() noexcept { cancel_.store(true); }

    // The existence query of the kind.
    bool tableExists(const std::string& table);
    // Every Brivel table and the seed rows, on the open connection.
    StructureState inspect();
    // Runs the script's statements on the open connection; records the tables created.
    void executeScript(const std::string& script);

private:
    void undoCreatedTables(InstallResult& result);
    void findTables(std::vector<std::string>& found, std::vector<std::string>& missing);

    db::Connection& conn_;
    TTipoBanco kind_;
    std::string displayName_;
    InstallLog& log_;
    std::atomic<bool> cancel_{false};
    std::vector<std::string> created_;
};

// "A, B, C"
std::string JoinTables(const std::vector<std::string>& tables);

// The texts the window's boxes and the command line show for a result.
std::string InstallFailureText(const InstallResult& result);
std::string IncompleteStructureText(const InstallResult& result);

} // namespace brivel
