// The deepest nesting of arrays and maps that any reader of outside input builds.
//
// Values are walked (copied, compared, destroyed) recursively, so a reader that followed its
// input to any depth would let a few kilobytes of brackets overflow the stack later. Every
// reader stops with kNestingTooDeepMessage before opening a container beyond this depth.
#pragma once

namespace Velto {

inline constexpr int kMaxNestingDepth = 512;

inline constexpr const char* kNestingTooDeepMessage =
    "Nesting deeper than 512 levels is not supported.";

}  // namespace Velto
