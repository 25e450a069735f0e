#pragma once
// The closing of the pop-up menus (the copy-mode menu of the copy and image
// screens, the format panel's type menu): a menu closes 3 s after it opened
// unless the pointer has entered it; once entered, it closes when the pointer
// leaves it; a choice closes it at once.
//
// Each opening has its own token: the timer of an earlier opening never
// closes a newer menu, and nothing runs for a menu that is already closed or
// after this object is gone. The delay runs on a global queue and the closing
// on the main queue.
//
//   // showSelectAllVC
//   if (!menuClose_.open([this] { closeMenuWindow(); })) return;   // one not yet entered is open
//   ... make the menu and its window ...
//   // mouseEixtView:(left)
//   left ? menuClose_.pointerLeft() : menuClose_.pointerEntered();
#include <cstdint>
#include <functional>
#include <memory>

class TimedMenuClose {
public:
    static constexpr double kCloseDelay = 3.0;

    TimedMenuClose();
    ~TimedMenuClose();
    TimedMenuClose(const TimedMenuClose&) = delete;
    TimedMenuClose& operator=(const TimedMenuClose&) = delete;

    // Starts an opening whose menu `closeMenu` closes (on the main thread).
    // False, and nothing changes, while an opening that the pointer has not
    // entered is still open: the second request does nothing. An open menu
    // that the pointer has entered is closed first.
    bool open(std::function<void()> closeMenu);
    // The pointer entered the menu: the timed close no longer applies.
    void pointerEntered();
    // The pointer left the menu: it closes now.
    void pointerLeft();
    // Closes the open menu now (a choice was made); nothing when none is open.
    void close();

    // A menu is open.
    bool isOpen() const;
    // A menu is open and the pointer has not entered it (the timed close is armed).
    bool isArmed() const;
    // The current opening's token (0 before the first).
    uint64_t token() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};
