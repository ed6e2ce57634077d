// The program's exit as one sequence of named stages under one deadline,
// for both ways it ends: the user quits (the quit command, or closing the
// window when that quits), or the Windows session ends (sign-out, shut
// down). The stages' work is App's (exit_sequence.cpp); which stages run,
// in which order and with how much time, is decided here.
#pragma once

#include <cstddef>
#include <vector>

enum class ExitKind {
    quit,         // the window is destroyed, the message loop ends, the objects go
    session_end,  // Windows ends the process once WM_ENDSESSION is answered
};

enum class ExitStage {
    stop_input,        // the hotkeys let go, the popups closed
    remove_tray_icon,
    save_settings,     // the settings written (at session end with the window's place)
    write_captures,    // the captures waiting for the store written, up to the deadline
    tell_unsaved,      // what could not be written is told; the user may wait longer
    release,           // the long-lived objects deleted
};

// The stages of an exit of that kind, in the order they run.
std::vector<ExitStage> exit_stages(ExitKind kind);

// The seconds an exit of that kind gives the waiting captures, counted from
// its start: the quit command, or Windows' first message about the end of
// the session (WM_QUERYENDSESSION, or WM_ENDSESSION when it comes alone).
// Windows ends a program that takes longer than about 5 s over the end of
// the session.
double exit_allowance(ExitKind kind);

// The seconds still left at now for an exit begun at since: never below 0,
// never above the allowance (a clock that went back gives the allowance).
double exit_seconds_left(ExitKind kind, double since, double now);

// Where an exit stands: its kind, its start, and the stages done (each
// runs once, whichever message or call reaches it first).
class ExitSequence {
public:
    // Begins an exit at now (seconds on a steady clock). An exit already
    // begun keeps its kind and its start.
    void begin(ExitKind kind, double now);
    // Windows called the end of the session off before any stage ran: the
    // program goes on as before.
    void cancel();
    bool begun() const { return begun_; }
    ExitKind kind() const { return kind_; }
    double since() const { return since_; }

    // The stages of this exit up to and including last, in order, that
    // have not run yet; they count as run from here on.
    std::vector<ExitStage> take_until(ExitStage last);

private:
    bool begun_ = false;
    ExitKind kind_ = ExitKind::quit;
    double since_ = 0;
    std::vector<ExitStage> done_;
};

// Seconds on the steady clock the exit sequence counts with.
double exit_clock_seconds();
