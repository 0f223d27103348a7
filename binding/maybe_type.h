// Results of operations that can fail without it being a programming error: either a value or a
// Failure saying what went wrong.
//
// `MaybeType<Failure, T>` holds exactly one of a T and a Failure; `MaybeType<Failure, void>` is
// the status form, a Failure or nothing (success). Both are plain values: they own what they
// hold and may be moved between threads (futures carry them). Passed to Format, a status prints
// as "Success" or as "message (code)".
#pragma once

#include <concepts>
#include <cstdint>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "diagnostics/format.h"

namespace Velto {

class Failure {
  public:
    // Code 0 and an empty owned message.
    Failure() noexcept = default;
    // Code 0; the message is Format(format, args...).
    template <class... Args>
    explicit Failure(const char* format, const Args&... args) : message_(Format(format, args...)) {}
    // The given code; the message is Format(format, args...).
    template <std::integral Code, class... Args>
    Failure(Code code, const char* format, const Args&... args)
        : code_(static_cast<uint32_t>(code)), message_(Format(format, args...)) {}
    // A message the failure does not own; `text` (which may be null) must outlive it.
    static Failure Constant(uint32_t code, const char* text) noexcept;

    Failure(const Failure& other) = default;
    Failure& operator=(const Failure& other) = default;
    // The moved-from failure keeps an empty owned message.
    Failure(Failure&& other) noexcept;
    Failure& operator=(Failure&& other) noexcept;

    uint32_t Code() const noexcept { return code_; }
    // The text of whichever message is held; null only for a constant null text.
    const char* Message() const noexcept { return isConstant_ ? constant_ : message_.c_str(); }
    bool IsConstant() const noexcept { return isConstant_; }

  private:
    uint32_t code_ = 0;
    std::string message_;
    const char* constant_ = nullptr;
    bool isConstant_ = false;
};

template <class Error, class T>
class MaybeType;

template <class T>
class MaybeType<Failure, T> {
  public:
    MaybeType(const T& value) : value_(value), isFailure_(false) {}
    MaybeType(T&& value) : value_(std::move(value)), isFailure_(false) {}
    MaybeType(Failure failure) noexcept : failure_(std::move(failure)), isFailure_(true) {}

    MaybeType(MaybeType&& other) noexcept(std::is_nothrow_move_constructible_v<T>)
        : isFailure_(other.isFailure_) {
        if (isFailure_) {
            ::new (&failure_) Failure(std::move(other.failure_));
        } else {
            ::new (&value_) T(std::move(other.value_));
        }
    }
    MaybeType(const MaybeType& other) requires std::is_copy_constructible_v<T>
        : isFailure_(other.isFailure_) {
        if (isFailure_) {
            ::new (&failure_) Failure(other.failure_);
        } else {
            ::new (&value_) T(other.value_);
        }
    }
    MaybeType& operator=(MaybeType&& other) noexcept(std::is_nothrow_move_constructible_v<T>) {
        if (this != &other) {
            Destroy();
            ::new (this) MaybeType(std::move(other));
        }
        return *this;
    }
    MaybeType& operator=(const MaybeType& other) requires std::is_copy_constructible_v<T> {
        if (this != &other) {
            MaybeType copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    ~MaybeType() { Destroy(); }

    bool IsFailure() const noexcept { return isFailure_; }
    // Valid only when IsFailure() is false.
    T& Value() noexcept { return value_; }
    const T& Value() const noexcept { return value_; }
    // Valid only when IsFailure() is true.
    Failure& GetFailure() noexcept { return failure_; }
    const Failure& GetFailure() const noexcept { return failure_; }

  private:
    void Destroy() noexcept {
        if (isFailure_) {
            failure_.~Failure();
        } else {
            value_.~T();
        }
    }

    union {
        T value_;
        Failure failure_;
    };
    bool isFailure_;
};

template <>
class MaybeType<Failure, void> {
  public:
    // Success.
    MaybeType() noexcept = default;
    MaybeType(Failure failure) noexcept : failure_(std::move(failure)), isFailure_(true) {}

    bool IsFailure() const noexcept { return isFailure_; }
    // Valid only when IsFailure() is true.
    Failure& GetFailure() noexcept { return failure_; }
    const Failure& GetFailure() const noexcept { return failure_; }

  private:
    Failure failure_;
    bool isFailure_ = false;
};

}  // namespace Velto

// "Success" without a failure; otherwise "%1 (%2)" with the message (a null one as the empty
// text) and the code in decimal.
template <>
struct Velto::FormatText<Velto::MaybeType<Velto::Failure, void>> {
    static std::string Text(const Velto::MaybeType<Velto::Failure, void>& status);
};
