#pragma once
// Results of operations that can fail because of their input (a file that is
// not a GIF, a full palette, an effect that will not start, a file that cannot
// be written): success, or a failure with the message the person is shown.
// The layer that owns the interaction decides how to show it: a message box
// in the window, a line on standard error in the renderer.
#include <optional>
#include <string>
#include <utility>

namespace zoetra {

class [[nodiscard]] outcome {
  public:
    static outcome success() { return outcome(); }
    static outcome failure(std::string message) { return outcome(std::move(message)); }

    bool ok() const { return !message_.has_value(); }
    explicit operator bool() const { return ok(); }
    // The failure's message; empty on success.
    const std::string& message() const {
        static const std::string none;
        return message_ ? *message_ : none;
    }

  private:
    outcome() = default;
    explicit outcome(std::string message) : message_(std::move(message)) {}
    std::optional<std::string> message_;
};

// A value, or the failure that prevented it.
template <class T> class [[nodiscard]] result {
  public:
    result(T value) : value_(std::move(value)), status_(outcome::success()) {}
    result(outcome failure) : status_(std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    const T& operator*() const { return *value_; }
    T& operator*() { return *value_; }
    const std::string& message() const { return status_.message(); }

  private:
    std::optional<T> value_;
    outcome status_;
};

} // namespace zoetra
