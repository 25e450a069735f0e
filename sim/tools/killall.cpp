// The stand-in killall: the system only asks it to nudge a system service, which
// the simulated machine doesn't have. It records the run and succeeds.
#include <string>
#include <vector>

#include "sim/Journal.h"
#include "sim/Machine.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::journalRun("killall", args);
    if (!sim::toolRoot("killall")) return 2;
    std::vector<std::string> words{"killall"};
    words.insert(words.end(), args.begin(), args.end());
    if (auto code = sim::applyCommonKnob(sim::currentKnob(words), "killall")) return *code;
    return 0;
}
