#pragma once

#include <QString>

#include <optional>
#include <utility>

// The one error convention of the libraries: an operation that can fail
// returns a Result, holding either its value or the reason it failed. A reason
// from a lower layer is the system's own text (strerror, Qt's errorString);
// each program wraps it in its own message before a window shows it.
//
//   Result<Bytes> read();          return bytes;   return Failure{reason};
//   Result<void> save();           return {};      return Failure{reason};

struct Failure
{
    QString reason;
};

template <typename T> class [[nodiscard]] Result
{
  public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_error(std::move(failure.reason)) {}

    [[nodiscard]] bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    [[nodiscard]] T &value() & { return *m_value; }
    [[nodiscard]] const T &value() const & { return *m_value; }
    [[nodiscard]] T &&value() && { return std::move(*m_value); }
    T *operator->() { return &*m_value; }
    const T *operator->() const { return &*m_value; }

    // Only when !ok(); may be empty where the interface says what that means.
    [[nodiscard]] const QString &error() const { return m_error; }

  private:
    std::optional<T> m_value;
    QString m_error;
};

template <> class [[nodiscard]] Result<void>
{
  public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_error(std::move(failure.reason)) {}

    [[nodiscard]] bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const QString &error() const { return m_error; }

  private:
    bool m_failed = false;
    QString m_error;
};
