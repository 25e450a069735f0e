#pragma once
// Starting applications and opening web addresses, as the desktop's workspace does.
#include <string>

namespace kit {

// Launches the application bundle at bundlePath (".../X.app"). A copy of it that
// is already running (same bundle identifier, another process) is asked to come
// to the front instead; a copy that is this process brings itself forward.
// Otherwise its executable (Contents/MacOS/<CFBundleExecutable>) is started
// detached with the argument "-launched", so that it runs as a started
// application rather than looking for a launcher of its own. Answers NO when no
// bundle with an executable is there or it cannot be started.
bool launchApplication(const std::string& bundlePath);

// The argument a launched executable gets.
inline constexpr const char* kLaunchedArgument = "-launched";

// Opens a web address. With a system root set, the address is appended as one
// line to sysPath("/.pelorin/opened-urls.txt") (the simulated machine's
// browser); otherwise it is handed to the desktop's opener ("xdg-open").
// Answers NO for an empty address or when it could not be handed on.
bool openURL(const std::string& url);
// The file the simulated machine's browser records into.
std::string openedURLsPath();

// Brings this process's application forward (the activation handler of the
// application registry); a no-op until the interface sets one.
void activateCurrentApplication();

}  // namespace kit
