#pragma once
// Key events typed into text editors pass through the application object.
//
// The kit's own views hand their key events to Application::sendEvent; the
// editors behind editable text fields receive theirs straight from the
// toolkit. installAppKeyRouting() puts those through Application::sendEvent
// too, so that an application subclass sees every key-down: an event it
// takes is consumed; one it passes on to Application::sendEvent reaches the
// editor as it would have without it. The text field under the editor becomes
// its window's first responder and answers the edit actions "cut:", "copy:",
// "paste:", "undo:", "redo:" and "selectAll:".
#include <cstdint>

namespace kit {

void installAppKeyRouting();

// The device-independent modifier flags of the toolkit's modifier state (Ctrl
// is Command, Super is Control, Alt is Option); nativeModifiers adds Caps Lock
// where the window system reports it (X11 lock mask).
uint64_t modifierFlagsFromToolkit(unsigned toolkitModifiers, unsigned nativeModifiers);

}  // namespace kit
