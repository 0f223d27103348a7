#include "remoting/remoting_response.h"

namespace Velto {

void RemotingResponse::SetFailure(std::string_view message) noexcept {
    result.SetFailure(message);
    stream.reset();
}

}  // namespace Velto
