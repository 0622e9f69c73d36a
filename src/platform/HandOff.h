#pragma once
// The one way a call crosses to another thread. Debian's Qt hands a posted
// event over through futexes ThreadSanitizer cannot see, so every value
// handed over would show as a race; the hand-off is marked for it here
// (compiled in only under ThreadSanitizer) instead of suppressing reports.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <functional>

#if defined(__SANITIZE_THREAD__)
#define QZ_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QZ_TSAN 1
#endif
#endif

#ifdef QZ_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace platform {

// Lives on the thread that built it; post() from any thread runs the call there.
class Mailbox : public QObject {
public:
    explicit Mailbox(QObject* parent = nullptr) : QObject(parent) {}

    void post(std::function<void()> call) {
        auto* e = new Call(std::move(call));
#ifdef QZ_TSAN
        __tsan_release(e);
#endif
        QCoreApplication::postEvent(this, e);
    }

protected:
    bool event(QEvent* e) override {
#ifdef QZ_TSAN
        __tsan_acquire(e);  // before anything of the event is read
#endif
        if (e->type() != kType) return QObject::event(e);
        static_cast<Call*>(e)->call();
        return true;
    }

private:
    static inline const QEvent::Type kType = static_cast<QEvent::Type>(QEvent::registerEventType());
    struct Call : QEvent {
        explicit Call(std::function<void()> c) : QEvent(kType), call(std::move(c)) {}
        std::function<void()> call;
    };
};

}  // namespace platform
