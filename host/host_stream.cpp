#include "host/host_stream.h"

#include <algorithm>
#include <cstring>

namespace Velto::TestHost {

StreamReadResult ScriptedStream::Read(uint8_t* buffer, uint32_t capacity) {
    if (Finished()) {
        return StreamReadResult{true, 0, false};
    }
    const StreamPiece& piece = pieces_[next_];
    if (piece.fails) {
        ++next_;
        return StreamReadResult{false, 0, false};
    }
    const std::size_t count = std::min<std::size_t>(piece.bytes.size() - offset_, capacity);
    if (count > 0) {
        std::memcpy(buffer, piece.bytes.data() + offset_, count);
    }
    offset_ += count;
    const bool pieceDone = offset_ == piece.bytes.size();
    const bool more = pieceDone ? piece.more : true;
    if (pieceDone) {
        ++next_;
        offset_ = 0;
    }
    return StreamReadResult{true, static_cast<uint32_t>(count), more};
}

}  // namespace Velto::TestHost
