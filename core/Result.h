#pragma once

#include <optional>
#include <utility>
#include <variant>

namespace qw {

// A value or the failure that prevented it. Failures cross subsystem boundaries as values,
// never as exceptions.
template <class T, class E> class Result {
public:
    static Result ok(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool isOk() const { return m_state.index() == 0; }
    explicit operator bool() const { return isOk(); }

    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const E& error() const& { return std::get<1>(m_state); }
    E&& error() && { return std::get<1>(std::move(m_state)); }

private:
    template <std::size_t I, class V>
    Result(std::in_place_index_t<I> index, V&& v) : m_state(index, std::forward<V>(v))
    {
    }
    std::variant<T, E> m_state;
};

} // namespace qw
