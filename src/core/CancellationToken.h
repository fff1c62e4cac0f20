#pragma once

// A flag a caller raises to stop a running operation early (the pipeline stops
// consolidation when a run fails). Copies share one state, so the caller keeps
// a copy and hands another to the operation. An operation registers a callback
// for the moment of cancelling (abort a request, kill a process) and drops it
// when it ends. Callbacks run on the thread that calls cancel(), or at once when
// registered after the fact.

#include <QtGlobal>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace lumenote {

class CancellationToken {
public:
    using Callback = std::function<void()>;

    CancellationToken() : state_(std::make_shared<State>()) {}

    void cancel() const {
        std::map<quint64, Callback> callbacks;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->cancelled) return;
            state_->cancelled = true;
            callbacks.swap(state_->callbacks);
        }
        for (auto& [id, fn] : callbacks) fn();
    }

    bool isCancelled() const {
        std::lock_guard lock(state_->mutex);
        return state_->cancelled;
    }

    // Keeps a callback registered for as long as it lives.
    class Registration {
    public:
        Registration() = default;
        Registration(std::weak_ptr<void> state, quint64 id) : state_(std::move(state)), id_(id) {}
        Registration(Registration&& other) noexcept : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}
        Registration& operator=(Registration&& other) noexcept {
            if (this != &other) {
                reset();
                state_ = std::move(other.state_);
                id_ = std::exchange(other.id_, 0);
            }
            return *this;
        }
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration() { reset(); }

        void reset() {
            if (id_ == 0) return;
            if (auto s = std::static_pointer_cast<State>(state_.lock())) {
                std::lock_guard lock(s->mutex);
                s->callbacks.erase(id_);
            }
            id_ = 0;
        }

    private:
        std::weak_ptr<void> state_;
        quint64 id_ = 0;
    };

    [[nodiscard]] Registration onCancel(Callback fn) const {
        {
            std::lock_guard lock(state_->mutex);
            if (!state_->cancelled) {
                const quint64 id = state_->nextID++;
                state_->callbacks.emplace(id, std::move(fn));
                return Registration(state_, id);
            }
        }
        fn();
        return {};
    }

private:
    struct State {
        std::mutex mutex;
        bool cancelled = false;
        quint64 nextID = 1;
        std::map<quint64, Callback> callbacks;
    };
    std::shared_ptr<State> state_;
};

}  // namespace lumenote
