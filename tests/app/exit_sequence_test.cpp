// The exit's rule: which stages run for a quit and for the end of the
// session, in which order, each once, and how much time the waiting
// captures get, counted from the exit's start.
#include <gtest/gtest.h>

#include <vector>

#include "app/exit_sequence.h"

namespace {

using S = ExitStage;

TEST(ExitSequence, TheStagesOfEachKindInOrder) {
    EXPECT_EQ(exit_stages(ExitKind::quit), (std::vector<S>{S::stop_input, S::remove_tray_icon, S::save_settings,
                                                          S::write_captures, S::tell_unsaved, S::release}));
    // At sign-out nothing asks the user, and the window stays.
    EXPECT_EQ(exit_stages(ExitKind::session_end),
              (std::vector<S>{S::remove_tray_icon, S::save_settings, S::write_captures, S::release}));
}

// Seconds left for the waiting captures: the allowance counted from the
// exit's start (the quit, or Windows' first message), never below 0.
TEST(ExitSequence, TheTimeLeftCountsFromTheStart) {
    struct Case {
        const char* name;
        ExitKind kind;
        double since;
        double now;
        double left;
    } cases[] = {
        {"quit, at once", ExitKind::quit, 100.0, 100.0, 5.0},
        {"quit, after a box", ExitKind::quit, 100.0, 103.0, 2.0},
        {"sign-out, the settings done in 0.4 s", ExitKind::session_end, 50.0, 50.4, 3.1},
        {"sign-out, the second message 2 s after the first", ExitKind::session_end, 50.0, 52.0, 1.5},
        {"sign-out, the second message late", ExitKind::session_end, 50.0, 58.0, 0.0},
        {"a clock that went back", ExitKind::session_end, 50.0, 49.0, 3.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(exit_seconds_left(c.kind, c.since, c.now), c.left, 1e-9);
    }
    EXPECT_EQ(exit_allowance(ExitKind::session_end), 3.5);
    EXPECT_EQ(exit_allowance(ExitKind::quit), 5.0);
}

// The stages are handed out once each, up to the stage asked for; the
// exit's kind and start are those of its first message.
TEST(ExitSequence, EachStageRunsOnceAndTheFirstStartHolds) {
    struct Step {
        ExitKind kind;   // the kind a message begins
        double at;
        S until;
        std::vector<S> due;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        ExitKind kind;
        double since;
    } cases[] = {
        {"quit: the window's part, then the rest after the loop",
         {{ExitKind::quit, 10.0, S::save_settings, {S::stop_input, S::remove_tray_icon, S::save_settings}},
          {ExitKind::quit, 11.0, S::release, {S::write_captures, S::tell_unsaved, S::release}}},
         ExitKind::quit,
         10.0},
        {"sign-out: both messages, the first one's start",
         {{ExitKind::session_end, 20.0, S::stop_input, {}},
          {ExitKind::session_end, 22.0, S::write_captures, {S::remove_tray_icon, S::save_settings, S::write_captures}},
          {ExitKind::quit, 23.0, S::release, {S::release}}},
         ExitKind::session_end,
         20.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExitSequence exit;
        for (const Step& step : c.steps) {
            exit.begin(step.kind, step.at);
            EXPECT_EQ(exit.take_until(step.until), step.due);
        }
        EXPECT_EQ(exit.kind(), c.kind);
        EXPECT_EQ(exit.since(), c.since);
        EXPECT_TRUE(exit.take_until(S::release).empty()) << "nothing runs twice";
    }
}

// A sign-out Windows calls off before any stage ran leaves no exit begun;
// one whose stages have run goes on.
TEST(ExitSequence, ACancelledSignOutBeforeAnyStageLeavesNoExit) {
    ExitSequence exit;
    exit.begin(ExitKind::session_end, 5.0);
    exit.cancel();
    EXPECT_FALSE(exit.begun());
    exit.begin(ExitKind::quit, 9.0);
    EXPECT_EQ(exit.kind(), ExitKind::quit);
    EXPECT_EQ(exit.since(), 9.0);

    ExitSequence ending;
    ending.begin(ExitKind::session_end, 5.0);
    EXPECT_FALSE(ending.take_until(S::write_captures).empty());
    ending.cancel();
    EXPECT_TRUE(ending.begun());
    EXPECT_EQ(ending.kind(), ExitKind::session_end);
}

}  // namespace
