// A streamed response body the test host plays to the plug-in, one scripted piece per read.
//
// The host answers a request with a stream when a test wants to see how the plug-in reads a
// body that arrives in parts: short reads with more to come, reads larger than the buffer the
// plug-in offers, a read that fails, the end. The stream owns copies of its pieces; it is not
// thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Velto::TestHost {

// One scripted read: its bytes, the more-flag it ends with, or a failing read.
struct StreamPiece {
    std::string bytes;
    bool more = false;   // the more-flag of the piece's last part
    bool fails = false;  // the read returns 0 and delivers nothing; `bytes` and `more` are unused
};

// What one read delivered.
struct StreamReadResult {
    bool succeeded = true;
    uint32_t delivered = 0;
    bool more = false;
};

class ScriptedStream {
  public:
    explicit ScriptedStream(std::vector<StreamPiece> pieces) : pieces_(std::move(pieces)) {}

    // Delivers the next piece, or as much of it as `capacity` allows (its remainder comes first
    // on the next read, and the more-flag stays set until the piece's last part); a failing
    // piece is used up by the read it fails. After the last piece every read succeeds with 0
    // bytes and the more-flag clear. `buffer` must hold `capacity` bytes (it may be null when
    // `capacity` is 0).
    StreamReadResult Read(uint8_t* buffer, uint32_t capacity);

    // Whether every piece has been delivered.
    bool Finished() const { return next_ == pieces_.size(); }

  private:
    std::vector<StreamPiece> pieces_;
    std::size_t next_ = 0;    // the piece the next read delivers from
    std::size_t offset_ = 0;  // bytes of that piece already delivered
};

}  // namespace Velto::TestHost
