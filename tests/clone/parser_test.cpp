// The restore tool's output, fed chunk by chunk, and what the engine is told to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Bootable/boot/OVRestoreOutputParser.h"

// Readable failures.
void PrintTo(const OVRestoreOutputEvent& e, std::ostream* os) {
    static const char* const kinds[] = {"prompt", "log", "step", "label", "tag"};
    *os << kinds[static_cast<int>(e.kind)] << "(" << e.value << "," << e.phase << ",\"" << e.text << "\")";
}

namespace {

using Ev = OVRestoreOutputEvent;
using Kind = OVRestoreOutputEvent::Kind;

Ev step(int s) { return Ev::step(s); }
Ev label(std::string t) { return Ev::label(std::move(t)); }
Ev tag(int t, int phase) { return Ev::tag(t, phase); }
Ev prompt() { return Ev::prompt(); }

// Feeds the chunks and returns every event but the log lines, which one test checks alone.
std::vector<Ev> run(OVRestoreOutputParser& p, const std::vector<std::string>& chunks) {
    std::vector<Ev> out;
    for (const auto& c : chunks)
        for (auto& e : p.parseChunk(c, true))
            if (e.kind != Kind::Log) out.push_back(std::move(e));
    return out;
}

struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<Ev> expected;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string kPrompt = "Erase contents of /Volumes/PelorinSystem (PelorinSystem)? [ny]: ";

class ParserTable : public ::testing::TestWithParam<Case> {};

TEST_P(ParserTable, EventsInOrder) {
    OVRestoreOutputParser p;
    EXPECT_EQ(run(p, GetParam().chunks), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ParserTable,
    ::testing::Values(
        Case{"BothValidationsInOneChunkReportTheTargetOnly",
             {"\tValidating target...done\n\tValidating source...done\n"},
             {step(3), label("Validating target...")}},
        Case{"ValidationsInSeparateChunks",
             {"\tValidating target...", "done\n", "\tValidating source...", "done\n"},
             {step(3), label("Validating target..."), label("Validating target..."), step(4),
              label("Validating source..."), label("Validating target...")}},
        Case{"DoneAloneIsShownAsValidatingTarget", {"done\n"}, {label("Validating target...")}},
        Case{"RepartitioningIsShownWithoutDecoration",
             {"\tRepartitioning target device...\n"},
             {label("Repartitioning target device...")}},
        Case{"FirstPhaseReportsCopyingOnce",
             {kPrompt, "\tReplicating ....", "10", "20"},
             {prompt(), label("Cloning..."), step(5), tag(1, 1), tag(2, 1)}},
        Case{"HundredWithTwentyIsTagTwo", {"\tReplicating ....", "....20....100"},
             {label("Cloning..."), step(5), tag(2, 1)}},
        Case{"ExactHundredIsTagTen", {"\tReplicating ....", "90", "100"},
             {label("Cloning..."), step(5), tag(9, 1), tag(10, 1)}},
        Case{"NumberWithoutTensGivesNoTag", {"\tReplicating ....", "5"}, {label("Cloning..."), step(5)}},
        Case{"SecondPhaseTagsCarryPhaseTwo",
             {"\tReplicating ....", "100", "\tRestoring ....", "30"},
             {label("Cloning..."), step(5), tag(10, 1), label("Cloning..."), tag(3, 2)}},
        Case{"ThirdPhaseSendsNoTags",
             {"\tReplicating ....", "\tRestoring ....", "\tVerifying ....", "30", "100"},
             {label("Cloning..."), step(5), label("Cloning..."), label("Cloning...")}},
        Case{"LabelsResumeAfterTheSecondExactHundred",
             {"\tReplicating ....", "50", "100", "\n", "\tVerifying ....", "100", "Restore completed.\n"},
             {label("Cloning..."), step(5), tag(5, 1), tag(10, 1), label("Cloning..."), tag(10, 2),
              label("100"), label("Restore completed.\n")}},
        Case{"HundredWithinALongerChunkDoesNotEndTheCopy",
             {"\tReplicating ....", "100\n", "\tVerifying ....", "100\n", "still copying"},
             {label("Cloning..."), step(5), tag(10, 1), label("Cloning..."), tag(10, 2)}},
        Case{"NumbersBeforeAnyPhaseSendNoTags", {"10"}, {label("10")}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(RestoreOutputParser, PromptIsAnsweredAndResetsEverything) {
    OVRestoreOutputParser p;
    run(p, {"\tReplicating ....", "100", "\tRestoring ....", "100", "\tVerifying ...."});
    EXPECT_EQ(p.isTwoTime(), 3);
    EXPECT_EQ(p.isTwoTime100(), 2);
    EXPECT_TRUE(p.inProgress());

    // The prompt is answered and nothing else is made of that chunk, not even a log line.
    auto evs = p.parseChunk(kPrompt, true);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].kind, Kind::AnswerPrompt);
    EXPECT_EQ(p.isTwoTime(), 0);
    EXPECT_EQ(p.isTwoTime100(), 0);
    EXPECT_FALSE(p.inProgress());

    // A prompt is recognised without a delegate too.
    EXPECT_EQ(p.parseChunk("[ny]", false).at(0).kind, Kind::AnswerPrompt);
}

TEST(RestoreOutputParser, EveryChunkButThePromptIsLoggedRaw) {
    OVRestoreOutputParser p;
    auto evs = p.parseChunk("\tValidating target...done\n", true);
    ASSERT_FALSE(evs.empty());
    EXPECT_EQ(evs[0].kind, Kind::Log);
    EXPECT_EQ(evs[0].text, "\tValidating target...done\n");
}

TEST(RestoreOutputParser, WithoutDelegateOnlyLogsAndCountsNothing) {
    OVRestoreOutputParser p;
    for (const char* c : {"\tValidating target...", "\tReplicating ....", "100", "\tRestoring ....", "100"}) {
        auto evs = p.parseChunk(c, false);
        ASSERT_EQ(evs.size(), 1u) << c;
        EXPECT_EQ(evs[0].kind, Kind::Log);
    }
    EXPECT_EQ(p.isTwoTime(), 0);
    EXPECT_EQ(p.isTwoTime100(), 0);
}

}  // namespace
