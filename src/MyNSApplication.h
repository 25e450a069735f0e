#pragma once
// The application class: Command-key edit shortcuts become edit actions sent
// to the first responder, so they work in every text field of every window.
#include <memory>

#include "kit/ui/AppMain.h"
#include "kit/ui/Application.h"

class MyNSApplication : public kit::Application {
public:
    void sendEvent(kit::Event& event) override;
};

// Named as the principal class in the bundle's information property list.
inline const bool kMyNSApplicationRegistered = (kit::registerApplicationClass(
    "MyNSApplication", [] { return std::unique_ptr<kit::Application>(new MyNSApplication); }), true);
