#include "support/SimRoot.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/Scenario.h"

namespace sim {

SimRoot::SimRoot(const std::string& scenario) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    std::string tmpl = base + "/pelorin-sim-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
        error_ = "cannot make a temporary root";
        return;
    }
    std::error_code ec;
    root_ = std::filesystem::canonical(tmpl, ec).string();
    if (ec) root_ = tmpl;
    ok_ = createRoot(scenario, root_, toolDir(), &error_);
    sysroot_ = std::make_unique<EnvGuard>("PELORIN_SYSROOT", root_.c_str());
}

SimRoot::~SimRoot() {
    if (!root_.empty()) endToolsStillRunning(root_);
    sysroot_.reset();
    if (!root_.empty() && std::getenv("PELORIN_KEEP_SIM") == nullptr) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

std::string SimRoot::toolDir() {
#ifdef PELORIN_SIM_DIR
    return PELORIN_SIM_DIR;
#else
    return ".";
#endif
}

std::string SimRoot::path(const std::string& rootRelative) const {
    if (rootRelative.empty() || rootRelative == "/") return root_;
    return rootRelative[0] == '/' ? root_ + rootRelative : root_ + "/" + rootRelative;
}

Machine SimRoot::machine() const {
    auto m = Machine::load(root_);
    return m ? *m : Machine{};
}

bool SimRoot::update(const std::function<void(Machine&)>& change) {
    return Machine::update(root_, [&](Machine& m, std::string*) {
        change(m);
        return true;
    });
}

void SimRoot::setSystemVersion(const std::string& version) {
    update([&](Machine& m) { m.systemVersion = version; });
}

void SimRoot::setProcessorBrand(const std::string& brand) {
    update([&](Machine& m) { m.processorBrand = brand; });
}

void SimRoot::setKnob(const std::string& key, const std::string& value) {
    update([&](Machine& m) { m.setKnob(key, value); });
}

void SimRoot::clearKnobs() {
    update([&](Machine& m) { m.knobs = kit::Value::dict(); });
}

std::vector<JournalEntry> SimRoot::journal() const { return readJournal(root_); }

std::vector<JournalEntry> SimRoot::journalFor(const std::string& tool) const {
    std::vector<JournalEntry> out;
    for (auto& e : readJournal(root_))
        if (e.tool == tool) out.push_back(std::move(e));
    return out;
}

void SimRoot::clearJournal() { std::ofstream(Machine::journalPath(root_), std::ios::trunc); }

void endToolsStillRunning(const std::string& root) {
    const std::string mark = "PELORIN_SYSROOT=" + root;
    for (const JournalEntry& run : readJournal(root)) {
        if (run.pid <= 0) continue;
        std::ifstream environ("/proc/" + std::to_string(run.pid) + "/environ", std::ios::binary);
        bool ours = false;
        for (std::string entry; std::getline(environ, entry, '\0');)
            if (entry == mark) ours = true;
        if (ours) ::kill(run.pid, SIGKILL);
    }
}

bool putTwinInPlace(Machine& m, const std::string& diskId, const std::string& volumeName) {
    const Disk* chosen = m.findDisk(diskId);
    if (!chosen) return false;
    Disk twin = *chosen;
    if (!m.removeDisk(diskId, nullptr)) return false;
    for (auto& v : twin.volumes) {
        v.volumeUUID.clear();
        v.diskUUID.clear();
        if (v.content == "EFI") continue;
        v.name = volumeName;
        v.mountPoint = m.hostPath("/Volumes/" + volumeName);
    }
    m.addDisk(twin);
    return true;
}

}  // namespace sim
