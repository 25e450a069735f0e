#include "PreventSleep.h"

#include "kit/System.h"

kit::PowerAssertionID assertionID = 0;

void PreventSleep() {
    const char* reason = "PreventUserIdleDisplaySleep";
    int success = kit::createPowerAssertion("PreventUserIdleDisplaySleep", kit::kPowerAssertionLevelOn, reason,
                                            &assertionID);
    if (success == kit::kPowerAssertionSuccess) kit::systemLog("prevent sleep!");
}
