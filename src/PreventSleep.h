#pragma once
// The display-sleep assertion held while the application loop runs.
#include <cstdint>

#include "kit/app/PowerAssertion.h"

// Zero until PreventSleep() has created the assertion; written once by the entry
// function before the application loop and read when the loop has ended.
extern kit::PowerAssertionID assertionID;

// Creates the assertion "PreventUserIdleDisplaySleep" (level on) and logs
// "prevent sleep!" when that worked; a failure is silent.
void PreventSleep();
