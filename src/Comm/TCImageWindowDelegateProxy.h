#pragma once
// Sits between a TCImageWindow and its real delegate: everything goes on to
// the real delegate (when there is one), and sheets are placed under the
// custom title bar.
#include "kit/ui/Window.h"

class TCImageWindowDelegateProxy : public kit::WindowDelegate {
public:
    // The window's real delegate; not kept.
    kit::WindowDelegate* secondaryDelegate = nullptr;

    // The secondary delegate's class answers.
    template <class T>
    bool isKindOf() const { return dynamic_cast<T*>(secondaryDelegate) != nullptr; }

    kit::Rect willPositionSheet(kit::Window& w, kit::Window& sheet, kit::Rect rect) override;

    bool windowShouldClose(kit::Window& w) override { return secondaryDelegate ? secondaryDelegate->windowShouldClose(w) : true; }
    void windowWillClose(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowWillClose(w); }
    void windowDidResize(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidResize(w); }
    void windowDidMove(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidMove(w); }
    void windowDidBecomeKey(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidBecomeKey(w); }
    void windowDidResignKey(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidResignKey(w); }
    void windowDidBecomeMain(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidBecomeMain(w); }
    void windowDidResignMain(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidResignMain(w); }
    void windowDidMiniaturize(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidMiniaturize(w); }
    void windowWillEnterFullScreen(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowWillEnterFullScreen(w); }
    void windowWillExitFullScreen(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowWillExitFullScreen(w); }
    void windowDidEndSheet(kit::Window& w) override { if (secondaryDelegate) secondaryDelegate->windowDidEndSheet(w); }
};
