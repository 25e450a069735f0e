#pragma once
// Running applications by bundle identifier, shared between processes.
//
// Each identifier has one place in a registry folder: a lock file held for the
// life of the copy that claimed it, an information file (process id, bundle
// path) and a local socket on which that copy listens for "come to the front".
// Claiming the place is atomic (an exclusive lock on the lock file), so of two
// copies started at the same moment exactly one holds it; the other sees the
// holder as a running application and can bring it forward.
//
// The folder is ".pelorin/apps" inside the system root when one is set (each
// simulated machine has its own running applications), else
// "$XDG_RUNTIME_DIR/pelorin-apps", else "/tmp/pelorin-apps-<uid>" (mode 0700).
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

struct RunningApplication {
    pid_t processIdentifier = 0;
    std::string bundleIdentifier;
    std::string bundlePath;
};

class ApplicationRegistry {
public:
    // The registry of the default folder (see above) as it is now.
    static ApplicationRegistry& shared();
    static std::string defaultDirectory();

    explicit ApplicationRegistry(std::string directory);
    ~ApplicationRegistry();
    ApplicationRegistry(const ApplicationRegistry&) = delete;
    ApplicationRegistry& operator=(const ApplicationRegistry&) = delete;

    const std::string& directory() const { return dir_; }

    // Records this process as a running copy of the identifier and tries to claim
    // the identifier's place. Returns whether this process now holds it. The
    // holder listens for activation requests (main thread; needs the application
    // object). Calling it again for the same identifier answers the first result.
    bool registerApplication(const std::string& bundleIdentifier, const std::string& bundlePath);
    // Gives the place up (the lock, the information file and the socket).
    void unregisterApplication(const std::string& bundleIdentifier);
    bool holds(const std::string& bundleIdentifier) const;

    // Called on the main thread when another process asks this one to come forward.
    void setActivationHandler(std::function<void()> handler);
    // Runs the activation handler in this process (when one is set).
    void activateSelf();

    // The running copies: the holder of the place (when it is another process or
    // another registry), then this process when it registered the identifier
    // without holding the place. While another process holds the lock but has not
    // yet published its information, this waits for it (at most ~3 s).
    std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier);

    // Asks the holder of the identifier's place to come forward. false when no
    // other copy holds it or it cannot be reached.
    bool activate(const std::string& bundleIdentifier);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string dir_;
};

// This process as a running application (bundle of Bundle::main()).
RunningApplication currentApplication();
// ApplicationRegistry::shared().runningApplications(id).
std::vector<RunningApplication> runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier);

}  // namespace kit
