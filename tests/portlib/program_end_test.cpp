#include "platform/ProgramEnd.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

// The end asked for inside a modal loop: the hooks run once, at once; that
// loop and the one below it return with the end's status (a failure a hook
// notes included), and a loop started later does not run, so a box opened on
// the way out cannot hold the program.
TEST(ProgramEnd, RunsTheHooksOnceAndEveryLoopReturns) {
    platform::ProgramEnd end;
    int hooks = 0;
    end.addExitHook([&] {
        ++hooks;
        end.noteFailure(4);  // a trace found cut short at the end
    });
    QEventLoop outer;
    int modalStatus = -2, lateStatus = -2;
    QTimer::singleShot(0, [&] {
        QEventLoop modal;
        QTimer::singleShot(0, [&] {
            end.endProgram(2);
            EXPECT_EQ(hooks, 1) << "the hooks run before any loop returns";
        });
        modalStatus = modal.exec();
        QEventLoop late;
        QTimer::singleShot(2000, &late, [&] { late.exit(99); });  // rather a failure than a hang
        lateStatus = late.exec();
    });
    EXPECT_EQ(outer.exec(), 4);
    EXPECT_EQ(modalStatus, 4);
    EXPECT_EQ(lateStatus, -1);
    EXPECT_TRUE(end.ended());
    end.endProgram(0);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(end.finish(0), 4);
    EXPECT_EQ(end.finish(7), 7);
}

// main's own return, with no end asked for: the hooks still run, once.
TEST(ProgramEnd, FinishRunsTheHooksWhenNoEndDid) {
    platform::ProgramEnd end;
    int hooks = 0;
    end.addExitHook([&] { ++hooks; });
    EXPECT_EQ(end.finish(3), 3);
    EXPECT_EQ(end.finish(0), 0);
    EXPECT_EQ(hooks, 1);
    EXPECT_FALSE(end.ended());
}
