#include "remoting/handler_response.h"

#include "remoting/remoting_response.h"

namespace Velto {

void ApplyHandlerStatus(RemotingResponse& response, HandlerStatus& status) {
    if (!status.succeeded) {
        response.SetFailure(status.error);
    }
    response.responseFlag = status.responseFlag;
    response.responseCode = status.responseCode;
    response.status = status.status;
    response.responseText = std::move(status.responseText);
    response.headers = std::move(status.headers);
}

}  // namespace Velto
