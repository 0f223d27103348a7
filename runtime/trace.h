// The runtime's debug trace points. They receive a printf format and its arguments and write
// nothing: the texts name what was dropped where, for a debugger's breakpoint, without putting
// anything into the log of a released plug-in.
#pragma once

namespace Velto::Client {

template <class... Args>
inline void Trace(const char* /*format*/, const Args&... /*args*/) noexcept {}

}  // namespace Velto::Client
