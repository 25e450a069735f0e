// sim: makes and inspects simulated machines.
//   sim create <scenario> <root>   a fresh root from a scenario, tools installed
//   sim knob <root> <key> <value>  sets a failure knob ("ok" clears it)
//   sim show <root>                prints the machine
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "sim/Machine.h"
#include "sim/Scenario.h"

namespace {

int usage() {
    std::string names;
    for (const auto& n : sim::scenarioNames()) names += (names.empty() ? "" : ", ") + n;
    std::fprintf(stderr,
                 "usage: sim create <scenario> <root>\n"
                 "       sim knob <root> <key> <value>\n"
                 "       sim show <root>\n"
                 "scenarios: %s\n",
                 names.c_str());
    return 1;
}

// The folder holding this executable: the stand-in tools are built beside it.
std::string toolDir() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

std::string absolute(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : p).lexically_normal().string();
}

void show(sim::Machine& m) {
    std::printf("root            %s\n", m.root.c_str());
    std::printf("scenario        %s\n", m.scenario.c_str());
    std::printf("system version  %s\n", m.systemVersion.c_str());
    std::printf("processor       %s\n", m.processorBrand.c_str());
    std::printf("console user    %s\n", m.consoleUser.c_str());
    std::printf("disk access     %s\n", m.fullDiskAccess ? "granted" : "withheld");
    for (const auto& k : m.disks) {
        std::string kind = k.apfsContainer ? "APFS container on " + k.physicalStore
                                           : (k.busProtocol.empty() ? "-" : k.busProtocol);
        std::printf("%-8s %-28s %-26s %15lld%s%s%s\n", k.identifier.c_str(),
                    (k.registryName.empty() ? "(no name)" : k.registryName).c_str(), kind.c_str(),
                    static_cast<long long>(k.size), k.ejectable ? " ejectable" : "",
                    k.isVirtual ? " virtual" : "", k.raidMaster ? " RAID set" : "");
        for (const auto& v : k.volumes) {
            std::string where = v.isMounted() ? v.mountPoint : "";
            if (!v.snapshotMountPoint.empty()) where = "snapshot at " + v.snapshotMountPoint;
            std::printf("  %-12s %-22s %-24s %-16s %s\n", v.identifier.c_str(), v.content.substr(0, 22).c_str(),
                        (v.name.empty() ? "-" : v.name).c_str(), (v.filesystem.empty() ? "-" : v.filesystem).c_str(),
                        where.c_str());
        }
    }
    if (const auto* knobs = m.knobs.asDict())
        for (const auto& [key, value] : *knobs)
            std::printf("knob  %s = %s\n", key.c_str(), value.asString().value_or("?").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    std::string error;
    if (cmd == "create" && argc == 4) {
        const std::string root = absolute(argv[3]);
        if (!sim::createRoot(argv[2], root, toolDir(), &error)) {
            std::fprintf(stderr, "sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", root.c_str());
        return 0;
    }
    if (cmd == "knob" && argc == 5) {
        const std::string key = argv[3], value = argv[4];
        if (!sim::Machine::update(absolute(argv[2]), [&](sim::Machine& m, std::string*) {
                m.setKnob(key, value);
                return true;
            }, &error)) {
            std::fprintf(stderr, "sim: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (cmd == "show" && argc == 3) {
        auto m = sim::Machine::load(absolute(argv[2]), &error);
        if (!m) {
            std::fprintf(stderr, "sim: %s\n", error.c_str());
            return 1;
        }
        show(*m);
        return 0;
    }
    return usage();
}
