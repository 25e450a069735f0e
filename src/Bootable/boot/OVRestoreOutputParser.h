#pragma once
// Turns the volume-restore tool's output, one chunk at a time, into what the
// clone engine must do: answer the prompt, log the chunk, report a step, show a
// label, report a copy-phase tag. It keeps the counters that span chunks and
// does no I/O of its own, so the engine stays a thin driver around it.
#include <string>
#include <utility>
#include <vector>

struct OVRestoreOutputEvent {
    enum class Kind {
        AnswerPrompt,  // write "y" to the tool and close its input
        Log,           // write `text` to the system log
        Step,          // report step `value` with no error
        Label,         // send `text` as label to the delegate
        Tag,           // send copy-phase tag `value` for phase `phase`
    };
    Kind kind = Kind::Log;
    int value = 0;
    int phase = 0;
    std::string text;

    static OVRestoreOutputEvent prompt() { return make(Kind::AnswerPrompt, 0, 0, {}); }
    static OVRestoreOutputEvent log(std::string t) { return make(Kind::Log, 0, 0, std::move(t)); }
    static OVRestoreOutputEvent step(int s) { return make(Kind::Step, s, 0, {}); }
    static OVRestoreOutputEvent label(std::string t) { return make(Kind::Label, 0, 0, std::move(t)); }
    static OVRestoreOutputEvent tag(int t, int phase) { return make(Kind::Tag, t, phase, {}); }

    bool operator==(const OVRestoreOutputEvent& o) const {
        return kind == o.kind && value == o.value && phase == o.phase && text == o.text;
    }

private:
    static OVRestoreOutputEvent make(Kind k, int v, int p, std::string t) {
        OVRestoreOutputEvent e;
        e.kind = k;
        e.value = v;
        e.phase = p;
        e.text = std::move(t);
        return e;
    }
};

class OVRestoreOutputParser {
public:
    // Clears the counters and the copy flag. The engine calls it at every
    // launch, so a tool that never prompts can't inherit the last run's counts.
    void reset();

    // One chunk of output (never the empty end-of-stream chunk). With
    // `delegateTakesLabels` false the chunk is only logged: no step, tag or label.
    std::vector<OVRestoreOutputEvent> parseChunk(const std::string& chunk, bool delegateTakesLabels);

    // How many chunks announced a copy phase.
    int isTwoTime() const { return isTwoTime_; }
    // How many chunks were exactly "100"; two of them mean both phases finished.
    int isTwoTime100() const { return isTwoTime100_; }
    // Set while the copy phases run; raw chunks are not shown as labels then.
    bool inProgress() const { return inProgress_; }

    // The copy-phase tag of a chunk (1-10), 0 when it names no tens value.
    static int tagForText(const std::string& text);

private:
    int isTwoTime_ = 0;
    int isTwoTime100_ = 0;
    bool inProgress_ = false;
};
