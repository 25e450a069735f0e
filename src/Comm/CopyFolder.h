#pragma once
// Where a run's product goes: the dated folder "Pelorin(yyyy-MM-dd HH:mm:ss)"
// on the destination, or on the user's desktop when it can't be made there.
#include <ctime>
#include <string>

namespace screen {

// The local date and time as "yyyy-MM-dd HH:mm:ss".
std::string copyStamp(std::time_t when);
// "Pelorin(<stamp>)": the name of a run's folder (and of an image or archive).
std::string copyFolderName(const std::string& stamp);
// The desktop of the user at the console, under the system root.
std::string userDesktopFolder();

// Makes the folder of a copy run and returns its path. It is made inside the
// destination's mount point (the system volume's root included) only while
// that mount point still exists, and only the dated folder itself: never the
// folders above it, which would put an unmounted volume's path back on the
// system disk. When that fails, or the folder can't be entered, it goes to the
// user's desktop (made with the folders above it). "" when neither can be made.
std::string makeCopyFolder(const std::string& mountPoint, const std::string& stamp);

}  // namespace screen
