// What a step gives back: its value, or why it has none. The engine's own
// calls answer with a Result code and fill their out parameters; the tools'
// steps, whose failures are sentences naming a file, a line or a record,
// answer with an Outcome instead.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vandro {

// The reason a step failed, as its caller shows it: `return Failure{text}`.
template <class E = std::string>
struct Failure {
  E why;
};
template <class E>
Failure(E) -> Failure<E>;

// A value of T, or a failure's reason of E. Reading the value of a failure
// (or the reason of a success) is a fault of the caller, caught by the
// variant's own check.
template <class T, class E = std::string>
class [[nodiscard]] Outcome {
public:
  Outcome(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
  template <class R>
  Outcome(Failure<R> failure) : m_state(std::in_place_index<1>, E(std::move(failure.why))) {}

  bool ok() const { return m_state.index() == 0; }
  explicit operator bool() const { return ok(); }

  T &value() & { return std::get<0>(m_state); }
  const T &value() const & { return std::get<0>(m_state); }
  T &&value() && { return std::get<0>(std::move(m_state)); }
  T &operator*() & { return value(); }
  const T &operator*() const & { return value(); }
  T *operator->() { return &value(); }
  const T *operator->() const { return &value(); }

  const E &error() const { return std::get<1>(m_state); }

private:
  std::variant<T, E> m_state;
};

// A step that gives back nothing but whether it worked.
template <class E>
class [[nodiscard]] Outcome<void, E> {
public:
  Outcome() = default;
  template <class R>
  Outcome(Failure<R> failure) : m_why(E(std::move(failure.why))) {}

  bool ok() const { return !m_why; }
  explicit operator bool() const { return ok(); }
  const E &error() const { return *m_why; }

private:
  std::optional<E> m_why;
};

} // namespace vandro
