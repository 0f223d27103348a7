#include "binding/maybe_type.h"

namespace Velto {

Failure Failure::Constant(uint32_t code, const char* text) noexcept {
    Failure failure;
    failure.code_ = code;
    failure.constant_ = text;
    failure.isConstant_ = true;
    return failure;
}

Failure::Failure(Failure&& other) noexcept
    : code_(other.code_),
      message_(std::move(other.message_)),
      constant_(other.constant_),
      isConstant_(other.isConstant_) {
    other.message_.clear();
    other.constant_ = nullptr;
    other.isConstant_ = false;
}

Failure& Failure::operator=(Failure&& other) noexcept {
    if (this != &other) {
        code_ = other.code_;
        message_ = std::move(other.message_);
        constant_ = other.constant_;
        isConstant_ = other.isConstant_;
        other.message_.clear();
        other.constant_ = nullptr;
        other.isConstant_ = false;
    }
    return *this;
}

}  // namespace Velto

std::string Velto::FormatText<Velto::MaybeType<Velto::Failure, void>>::Text(
    const Velto::MaybeType<Velto::Failure, void>& status) {
    if (!status.IsFailure()) {
        return "Success";
    }
    const Failure& failure = status.GetFailure();
    const char* message = failure.Message();
    return Format("%1 (%2)", message != nullptr ? message : "", failure.Code());
}
