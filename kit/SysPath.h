#pragma once
// The system root. Every literal system path ("/Volumes", "/tmp",
// "/usr/sbin/diskutil", "/") goes through sysPath(): with PELORIN_SYSROOT set it
// is prefixed with that root, otherwise it is returned as it is.
#include <string>

namespace kit {

std::string sysRoot();                        // "" when no root is set
std::string sysPath(const std::string& path); // sysPath("/") is the root itself ("/" with none)
// The inverse for paths a tool reported: strips the root prefix ("/" for the root itself).
std::string unSysPath(const std::string& hostPath);

// The machine-state file the simulated machine keeps inside the root.
std::string machineStatePath();               // sysPath("/.pelorin/machine.plist")

// The platform's per-user temporary folder: a private directory (mode 0700) made
// once per process, ending in "/". Never a shared /tmp name. It goes when the
// process ends through exit() or exitProcess().
const std::string& temporaryDirectory();
// Removes the temporary folders that runs of this user left behind when they
// ended without removing them (killed, crashed). A folder whose run still
// lives is never touched.
void removeAbandonedTemporaryDirectories();

// Ends the process at once with the status: the output streams are flushed and
// the temporary folder is removed, but no static object is torn down (windows
// and timers that statics hold would outlive the toolkit's own globals).
[[noreturn]] void exitProcess(int status);

// PELORIN_TIME_SCALE (default 1): all kit waits, delays and timers are multiplied by it.
double timeScale();
double scaled(double seconds);

// Joins a folder and a component with one slash.
std::string pathJoin(const std::string& dir, const std::string& name);
std::string lastPathComponent(const std::string& path);
std::string deletingLastPathComponent(const std::string& path);

}  // namespace kit
