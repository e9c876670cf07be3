#pragma once
// One replaceable value that several threads share: a hook of the updater
// (how the host is told and asked things) or a declaration the host makes.
// The host may assign it on the main thread at any time while the update
// queue reads or calls it, so every read and write takes a lock; a call runs
// a copy outside the lock, so a hook may replace itself while it runs.
// `assigned()` remembers that someone ever assigned a value, whatever it was;
// `reset()` forgets it and puts the value back as it was made. An empty
// function is never called: calling it gives the result type's default.

#include <QMutex>
#include <QMutexLocker>
#include <concepts>
#include <functional>
#include <type_traits>
#include <utility>

namespace rk {

template <class T>
class Hook {
public:
    explicit Hook(T initial = T()) : initial_(initial), value_(std::move(initial)) {}
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;

    Hook& operator=(T value) {
        QMutexLocker lock(&mutex_);
        value_ = std::move(value);
        assigned_ = true;
        return *this;
    }

    T get() const {
        QMutexLocker lock(&mutex_);
        return value_;
    }

    bool assigned() const {
        QMutexLocker lock(&mutex_);
        return assigned_;
    }

    void reset() {
        QMutexLocker lock(&mutex_);
        value_ = initial_;
        assigned_ = false;
    }

    template <class... Args>
    requires std::invocable<const T&, Args...>
    auto operator()(Args&&... args) const {
        using R = std::invoke_result_t<const T&, Args...>;
        const T value = get();
        if (!value)
            return R();
        return std::invoke(value, std::forward<Args>(args)...);
    }

private:
    mutable QMutex mutex_;
    const T initial_;
    T value_;
    bool assigned_ = false;
};

}  // namespace rk
