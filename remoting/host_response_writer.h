// Writing a call's outcome into the host's response record, and the record's release routine.
//
// Ownership: every text, array and value tree the writer puts into the record is allocated with
// the counted heap (diagnostics/memory_statistics.h) and belongs to the plug-in until the host
// calls the record's release routine, ReleaseHostResponse, which frees exactly those allocations.
// A streamed body's object passes to the host, which destroys it through the stream release
// routine. Records the host filled (answers to the plug-in's own requests) are released with the
// host's routine, never with this one.
#pragma once

#include "platform/host_boundary.h"
#include "remoting/remoting_response.h"

namespace Velto {

class BindingRegistry;

// The response text of a response without one; the release routine never frees it.
inline constexpr char kEmptyResponseText[] = "";

// Releases what `hostResponse` holds (ReleaseHostResponse), makes ReleaseHostResponse its release
// routine and writes the outcome of `response`:
// - a failed result sets the error flag and a copy of the failure message, leaving the body
//   null; a successful one becomes the body through ToHostValue with `registry` (which may be
//   null), so enumerations are written by registered name (or as signed numbers when the name or
//   the registry is unknown).
//   A result too deep for the host, or running out of memory, is written as a failure instead;
// - the response flag, the response code (1 to 3, anything else as 0), the status, the response
//   text (kEmptyResponseText when empty) and copies of the headers in the map's order;
// - a stream of a successful result moves into the record with its length (high word 0) and the
//   routines that forward to it; a failed result's stream is destroyed. What the stream's length
//   operation throws passes to the caller, with the stream destroyed and the record releasable.
// A null record is ignored.
void WriteHostResponse(Client::HostResponse* hostResponse, RemotingResponse& response,
                       const BindingRegistry* registry);

// The release routine placed in every response the plug-in writes: frees the body's allocations,
// the error message, the response text unless it is kEmptyResponseText, every header text and
// the header array, then zeroes the whole record. Safe on a zeroed record; a null record is
// ignored. It does not touch the stream object, which the host owns once it is written.
void ReleaseHostResponse(Client::HostResponse* hostResponse);

}  // namespace Velto
