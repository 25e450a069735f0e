#include "UiTest.h"

#include <filesystem>

namespace uitest {

std::string renderDir() {
    std::string dir = std::string(PELORIN_BUILD_DIR) + "/ui-render";
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace uitest
