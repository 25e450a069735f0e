#pragma once
// Input events as the platform describes them: a type, the location in the
// window's base coordinates (y up), the click count, device-independent
// modifier flags and, for keys, the key code and characters.
#include <cstdint>
#include <string>

#include "kit/ui/Geometry.h"

namespace kit {

class Window;

enum class EventType {
    LeftMouseDown, LeftMouseUp, LeftMouseDragged, RightMouseDown, RightMouseUp,
    MouseMoved, MouseEntered, MouseExited, KeyDown, KeyUp, ScrollWheel,
    Pressure,   // a pressure change of a force click; `stage` says how far
};

// Device-independent modifier masks (the platform's values). On this system's
// keyboards the Ctrl key plays the Command key's part and the Super key the
// Control key's.
enum ModifierFlags : uint64_t {
    AlphaShiftKeyMask = 1ull << 16,   // Caps Lock
    ShiftKeyMask = 1ull << 17,
    ControlKeyMask = 1ull << 18,
    AlternateKeyMask = 1ull << 19,
    CommandKeyMask = 1ull << 20,
    DeviceIndependentModifierFlagsMask = 0xffff0000ull,
};

// Key codes of the keys the system names.
enum KeyCode : uint16_t { KeyCodeReturn = 36, KeyCodeTab = 48, KeyCodeSpace = 49, KeyCodeDelete = 51, KeyCodeEscape = 53 };

class TrackingArea;

struct Event {
    EventType type = EventType::MouseMoved;
    Point locationInWindow;
    Point screenLocation;          // where the pointer was on the screen (y up)
    int clickCount = 0;
    uint64_t modifierFlags = 0;
    uint16_t keyCode = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    double deltaX = 0, deltaY = 0;
    long stage = 0;                // pressure events: 1 a click, 2 a force click
    double timestamp = 0;
    Window* window = nullptr;      // valid while the event is dispatched
    TrackingArea* trackingArea = nullptr;   // entered/exited/moved events of an area
    void* userData = nullptr;      // the tracking rectangle's user data

    bool isMouseDown() const { return type == EventType::LeftMouseDown || type == EventType::RightMouseDown; }
};

}  // namespace kit
