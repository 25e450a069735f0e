// The file-choice window needs the interface's application object, and a
// process gets one kind only: it is made before any test can make a plain one.
#include <gtest/gtest.h>

#include "kit/ui/Application.h"

namespace {

class InterfaceApplication : public ::testing::Environment {
public:
    void SetUp() override { kit::ensureUiApp(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new InterfaceApplication);

}  // namespace
