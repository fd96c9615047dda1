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

// Which Brivel tables and seed rows a database holds. The one definition of
// "installed" that the window, instalar and verificar share: installed when every
// table and every seed row (known by its key) is there, not installed when no
// Brivel table is, partial otherwise.
struct StructureState {
    enum State { Installed, NotInstalled, Partial };
    std::vector<std::string> found, missing;            // tables, in creation order
    std::vector<std::string> seedsFound, seedsMissing;  // seed rows, SeedRow::describe()
    bool configSeed = false;     // API_CONFIG's row
    bool sequenceSeeds = false;  // API_SEQUENCIAIS's five rows
    State state() const;
};

enum class InstallOutcome {
    Installed,         // the whole script ran
    AlreadyInstalled,  // nothing to do
    Incomplete,        // partial, and not asked to complete: nothing done
    Completed,         // partial, and what was missing is now there
    ColumnsMissing,    // partial, but an existing table lacks columns: nothing done
    Failed             // undone as far as possible
};

// A table that exists without every column of the script.
struct TableColumns {
    std::string table;
    std::vector<std::string> missing;
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Failed;
    bool completing = false;              // Failed: while completing a partial structure
    std::string error;                    // Failed: the failure's message
    std::vector<std::string> created;     // tables this run created, oldest first
    std::vector<std::string> inserted;    // Completed: seed rows this run inserted
    std::vector<std::string> undone;      // of the tables created, removed again (newest first)
    std::vector<std::string> leftBehind;  // of those, still in the database after the failure
    std::vector<std::string> found;       // tables present before the run
    std::vector<std::string> missing;     // tables absent before the run
    std::vector<std::string> seedsMissing;   // seed rows absent before the run (their tables present)
    std::vector<TableColumns> columnsMissing;  // ColumnsMissing
};

// The installation of the Brivel structure on an already defined connection: the
// existence check, the script run statement by statement in one transaction and,
// on failure, the undo. Thread-agnostic: everything goes out through the log and
// the result.
class InstallFlow {
public:
    InstallFlow(db::Connection& connection, TTipoBanco kind, std::string displayName, InstallLog& log);

    // Opens the connection when closed, finds the structure's state and installs
    // when nothing is there; a partial structure is completed when `complete`, else
    // left alone. Leaves the connection open. Failures before the transaction (open,
    // the existence queries, starting it) are thrown.
    InstallResult run(bool complete = false);

    // After run() found a partial structure: looks again and completes it.
    InstallResult completeMissing();

    // Closes the connection when open and logs so. Never throws.
    void close() noexcept;

    // May be called from any thread; the run stops before its next statement and is undone.
    void requestCancel() noexcept { cancel_.store(true); }
    // The same from another thread (not from a signal handler): the statement
    // running now is also stopped, through the client library's own cancel.
    void cancel() noexcept
    {
        cancel_.store(true);
        conn_.cancel();
    }

    // The existence query of the kind.
    bool tableExists(const std::string& table);
    // Every Brivel table and the seed rows; opens the connection when closed.
    StructureState inspect();
    // Runs the script's statements on the open connection; records the tables created.
    void executeScript(const std::string& script);
    // The script an installation runs: the kind's own unless one is given here
    // (tests give it with a statement that fails, to see the undo).
    void setScript(std::string script) { script_ = std::move(script); }

private:
    void undoCreatedTables(InstallResult& result);
    bool columnExists(const std::string& table, const std::string& column);
    InstallResult install(const StructureState& st);
    InstallResult cancelledBeforeStart();
    InstallResult complete(const StructureState& st);
    // The undo after a failure in the transaction; fills error, undone and leftBehind.
    void fail(InstallResult& result, const std::exception& e, const char* errorPrefix);

    db::Connection& conn_;
    TTipoBanco kind_;
    std::string displayName_;
    InstallLog& log_;
    std::atomic<bool> cancel_{false};
    std::vector<std::string> created_;
    std::string script_;
};

// "A, B, C"
std::string JoinTables(const std::vector<std::string>& tables);

// The texts the window's boxes and the command line show for a result.
std::string InstallFailureText(const InstallResult& result);
// A partial structure: the tables found and missing, the seed rows missing.
std::string PartialStructureText(const InstallResult& result);
// The box of instalar and of the window without completing: the above, then that nothing changed.
std::string IncompleteStructureText(const InstallResult& result);
std::string ColumnsMissingText(const InstallResult& result);

} // namespace brivel
