#pragma once

// co_await on one emission of a signal that resumes the coroutine at once (not
// on a later event-loop turn) and also when the sender is destroyed first, so
// that a request torn down with its owner never leaves a coroutine hanging.

#include <QObject>
#include <QPointer>

#include <coroutine>

namespace lumenote::detail {

template <typename T, typename Signal>
class SignalOrDestroyed {
public:
    SignalOrDestroyed(T* sender, Signal signal) : sender_(sender), signal_(signal) {}
    SignalOrDestroyed(const SignalOrDestroyed&) = delete;
    SignalOrDestroyed& operator=(const SignalOrDestroyed&) = delete;
    ~SignalOrDestroyed() { disconnect(); }

    // Awaited as a named local: co_await on it hands the compiler a small
    // copyable awaiter, while the connections stay here.
    struct Awaiter {
        SignalOrDestroyed* owner;
        bool await_ready() const noexcept { return owner->sender_.isNull(); }
        void await_suspend(std::coroutine_handle<> handle) { owner->connect(handle); }
        // True when the signal came, false when the sender went away first.
        bool await_resume() const noexcept { return owner->emitted_; }
    };
    Awaiter operator co_await() & { return Awaiter{this}; }

private:
    void connect(std::coroutine_handle<> handle) {
        signalConnection_ = QObject::connect(sender_.data(), signal_, [this, handle](auto&&...) { fire(handle, true); });
        destroyedConnection_ = QObject::connect(sender_.data(), &QObject::destroyed, [this, handle] { fire(handle, false); });
    }
    void disconnect() {
        QObject::disconnect(signalConnection_);
        QObject::disconnect(destroyedConnection_);
    }
    void fire(std::coroutine_handle<> handle, bool emitted) {
        disconnect();
        emitted_ = emitted;
        handle.resume();  // may end the coroutine and with it this awaiter
    }

    QPointer<T> sender_;
    Signal signal_;
    QMetaObject::Connection signalConnection_;
    QMetaObject::Connection destroyedConnection_;
    bool emitted_ = false;
};

}  // namespace lumenote::detail
