#pragma once
// A wait that ends as soon as its condition holds. Each turn handles the events
// that have arrived and sleeps only until the next one comes, never a fixed
// time, so a test that floods the event loop (a server serving a client in
// turns) is not slowed by a sleep per turn as QTest::qWaitFor is.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

template <typename Condition>
bool waitUntil(Condition done, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    QTimer wake;  // an event now and then, so the deadline is seen when nothing else comes
    wake.start(std::clamp(ms, 1, 10));
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
