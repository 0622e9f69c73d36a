#pragma once
// Platform seams that record what the program asks of them: boxes, beeps and
// the program's end are noted instead of shown, made or done.
#include "platform/ProgramEnd.h"
#include "platform/ProgramStart.h"
#include "platform/Registry.h"
#include "platform/Seams.h"
#include "platform/UserNotice.h"

#include <optional>
#include <vector>

struct RecordingNotice final : platform::UserNotice {
    std::vector<platform::Notice> notices;
    int beeps = 0;
    void showMessage(const platform::Notice& n, QWidget*) override { notices.push_back(n); }
    void beep() override { ++beeps; }
};

struct RecordingEnd final : platform::ProgramEnd {
    std::optional<int> endedWith;
    void endProgram(int status) override { endedWith = status; }
};

struct RecordingSeams {
    RecordingNotice notice;
    RecordingEnd end;
    platform::LinuxRegistry linuxRegistry;
    platform::ProgramStart realPrograms;
    platform::Registry* registry = &linuxRegistry;
    platform::ProgramStart* programs = &realPrograms;
    platform::Seams seams() { return {notice, end, *registry, *programs}; }
};
