#pragma once
// A simulated machine for one test: a fresh temporary root made from a scenario
// (see sim/Scenario.h), with the stand-in tools installed from the build, and
// PELORIN_SYSROOT pointing at it while the object lives (the previous value is
// restored and the root deleted afterwards). Tools of the machine that still
// run when it goes are ended (endToolsStillRunning).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/Journal.h"
#include "sim/Machine.h"
#include "support/EnvGuard.h"

namespace sim {

class SimRoot {
public:
    explicit SimRoot(const std::string& scenario = "filters");
    ~SimRoot();
    SimRoot(const SimRoot&) = delete;
    SimRoot& operator=(const SimRoot&) = delete;

    bool ok() const { return ok_; }                      // false when the root could not be made
    const std::string& error() const { return error_; }
    const std::string& root() const { return root_; }
    // A system path inside the root: path("/Volumes/USB").
    std::string path(const std::string& rootRelative) const;
    // Where the stand-in tools were installed from (the build folder).
    static std::string toolDir();

    // The machine as it is now (a fresh read), and a locked change of it.
    Machine machine() const;
    bool update(const std::function<void(Machine&)>& change);
    void setSystemVersion(const std::string& version);
    void setProcessorBrand(const std::string& brand);

    // Failure knobs: key "diskutil eraseDisk", value "fail", "hang", "garbage",
    // "slow", or a tool's own; "ok" or "" clears.
    void setKnob(const std::string& key, const std::string& value);
    void clearKnobs();

    std::vector<JournalEntry> journal() const;
    std::vector<JournalEntry> journalFor(const std::string& tool) const;
    void clearJournal();

private:
    std::string root_;
    std::unique_ptr<EnvGuard> sysroot_;
    bool ok_ = false;
    std::string error_;
};

// Ends every stand-in tool run that the journal of the machine at root
// records and that still runs (a hung one), whatever the test's outcome, so
// none outlives the test holding its output. A process counts as the run only
// while its environment still names the root: a reused process id is spared.
void endToolsStillRunning(const std::string& root);

// Ends them when it goes: declare it after the root it watches.
class ToolsEndedGuard {
public:
    explicit ToolsEndedGuard(std::string root) : root_(std::move(root)) {}
    ~ToolsEndedGuard() { endToolsStillRunning(root_); }
    ToolsEndedGuard(const ToolsEndedGuard&) = delete;
    ToolsEndedGuard& operator=(const ToolsEndedGuard&) = delete;

private:
    std::string root_;
};

// Puts another disk of the same model in the place of `diskId`: the same
// identifier, name, size and layout, but new partition and volume UUIDs, and
// its volumes (all but EFI) named `volumeName`, mounted under that name. What
// a user with two sticks of one model does. False when there is no such disk.
bool putTwinInPlace(Machine& m, const std::string& diskId, const std::string& volumeName);

}  // namespace sim
