#pragma once
// A value, or why there is none. Every call that can fail hands back a Result:
// by default the error is the text for the operator, naming the file or port at
// fault. A failure is made with Fail(error), never from a bare value, so that a
// string result and a string error cannot be taken for each other.

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace orvalt {

template <class E>
struct Failure {
    E error;
};

template <class E>
Failure<std::decay_t<E>> Fail(E&& error) {
    return {std::forward<E>(error)};
}

template <class T, class E = std::string>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <class F>
    Result(Failure<F> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool Ok() const { return state_.index() == 0; }
    explicit operator bool() const { return Ok(); }

    // Reading the value of a failure is a fault of the caller: it throws.
    T& Value() & { return std::get<0>(state_); }
    const T& Value() const& { return std::get<0>(state_); }
    T&& Value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return Value(); }
    const T& operator*() const& { return Value(); }
    T* operator->() { return &Value(); }
    const T* operator->() const { return &Value(); }

    const E& Error() const { return std::get<1>(state_); }

  private:
    std::variant<T, E> state_;
};

// Success with nothing to hand back, or why not.
template <class E>
class [[nodiscard]] Result<void, E> {
  public:
    Result() = default;
    template <class F>
    Result(Failure<F> failure) : error_(std::move(failure.error)) {}

    bool Ok() const { return !error_.has_value(); }
    explicit operator bool() const { return Ok(); }

    const E& Error() const { return error_.value(); }

  private:
    std::optional<E> error_;
};

}  // namespace orvalt
