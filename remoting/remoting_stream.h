// A response body the host reads piece by piece instead of receiving it as one value.
#pragma once

#include <cstdint>

namespace Velto {

// The slot order (read, length, destructor) is part of the boundary: the host's stream routines
// reach the object through it.
class RemotingStream {
  public:
    // Fills at most `*size` bytes of `buffer`, stores the count delivered in `*size` and sets
    // `*more` while data follows; the result is the stream's own status. The three pointers are
    // passed through from the host untouched.
    virtual uint8_t read(uint8_t* buffer, uint32_t* size, uint8_t* more) = 0;
    // The length reported to the host.
    virtual uint32_t length() = 0;
    virtual ~RemotingStream() = default;
};

}  // namespace Velto
