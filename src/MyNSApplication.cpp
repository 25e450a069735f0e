#include "MyNSApplication.h"

#include <cctype>
#include <string>

void MyNSApplication::sendEvent(kit::Event& event) {
    if (event.type != kit::EventType::KeyDown) {
        kit::Application::sendEvent(event);
        return;
    }
    const uint64_t flags = event.modifierFlags & kit::DeviceIndependentModifierFlagsMask;
    const std::string& chars = event.charactersIgnoringModifiers;
    std::string action;
    if (flags == kit::CommandKeyMask || flags == (kit::CommandKeyMask | kit::AlphaShiftKeyMask)) {
        std::string lower;
        for (char c : chars) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "x") action = "cut:";
        else if (lower == "c") action = "copy:";
        else if (lower == "v") action = "paste:";
        else if (lower == "z") action = "undo:";
        else if (lower == "a") action = "selectAll:";
    } else if (chars == "Z") {
        // Redo is Command+Shift+Z; a capital Z typed without Command (Shift or
        // Caps Lock alone) is text and must reach the field.
        const uint64_t withoutCapsLock = flags & ~static_cast<uint64_t>(kit::AlphaShiftKeyMask);
        if (withoutCapsLock == (kit::CommandKeyMask | kit::ShiftKeyMask)) action = "redo:";
    }
    if (action.empty() || !sendAction(action, nullptr, this)) kit::Application::sendEvent(event);
}
