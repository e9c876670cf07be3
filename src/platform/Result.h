#pragma once
// A small success-or-failure value. Failures travel as values between
// subsystems; nothing here throws. Works with C++20 on g++ 12 and clang 14,
// which have no std::expected.

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

namespace rk {

template <typename E>
struct Failure {
    E error;
};

template <typename E>
Failure<std::decay_t<E>> fail(E&& error) {
    return Failure<std::decay_t<E>>{std::forward<E>(error)};
}

struct Unit {
    friend bool operator==(Unit, Unit) { return true; }
};

template <typename T, typename E>
class Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <typename F, typename = std::enable_if_t<std::is_convertible_v<F, E>>>
    Result(Failure<F> failure) : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    const E& error() const& {
        assert(!ok());
        return std::get<1>(state_);
    }

    const T* operator->() const { return &value(); }
    const T& operator*() const& { return value(); }

    template <typename U>
    T valueOr(U&& fallback) const& {
        return ok() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

    friend bool operator==(const Result& a, const Result& b) { return a.state_ == b.state_; }

private:
    std::variant<T, E> state_;
};

}  // namespace rk
