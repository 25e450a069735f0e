#pragma once
// The Full Disk Access probes of the clone screen. Cloning the running system
// needs the platform's Full Disk Access privilege; these answer, by looking into
// folders the privilege guards, whether this process has it. They only look:
// the screen logs the answer and offers the settings pane.
#include <optional>
#include <string>

// The settings address that opens the privacy pane at its Full Disk Access section.
inline constexpr const char* kFullDiskAccessSettingsURL = "x-settings:security-privacy?Privacy_AllFiles";

// The status of the privilege, from the user's "Library/Safari" folder:
//   2  it exists and can be listed: access granted
//   1  it exists but can't be listed: access denied
//   0  it doesn't exist: undetermined
// In a sandboxed process (APP_SANDBOX_CONTAINER_ID set) the home folder is the
// one the user database records; with no entry there the process's own home
// folder is used.
int getAuthorizationStatus();

// Whether the user's documents folder can be reached.
bool checkFullDiskAccess();

// Whether the volume at volumePath needs the privilege for a clone: YES when its
// "Users/<console user>/.Trash" is not an existing folder or can't be listed;
// NO for no path or no known user.
bool ZZCheckNeedFullDiskAccess(const std::optional<std::string>& volumePath);

// Whether the file manager can read the path.
bool isDiskAccessible(const std::string& path);
// NO for no path, else the opposite of isDiskAccessible.
bool ZZCheckNeedFullDiskAccessForM1ExternDev(const std::optional<std::string>& path);

// The console user's name (the process's user when nobody is at the console).
// The real machine's answer is kept after the first call.
std::string ZZGetCurrentUserName();

// The settings button's work: on system version 10.14 and later, asks the
// workspace to open the privacy pane at Full Disk Access. Returns whether it
// was asked; the caller closes its window in every case.
bool openFullDiskAccessSettings();
