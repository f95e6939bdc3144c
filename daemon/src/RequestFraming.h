// The requests on the daemon's socket (kb/device/FilterWire.h), taken from a client's byte stream one at
// a time and answered. No I/O: the socket server reads and writes, tests and fuzz targets feed bytes.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kb/device/FilterWire.h"

namespace kb::filterd {

// Who sent a request and what came with it; what the handler wants told or done besides the status.
struct RequestContext {
    uint64_t client = 0;  // the connection, never reused while the daemon runs
    uid_t uid = 0;        // the peer's uid when it connected
    int descriptor = -1;  // a descriptor handed over with the request, or -1; the caller closes it
    std::string reason;   // out: why the request was refused, sent to the client (cut to kMaxReasonBytes)
    std::optional<bool> subscribe;  // out: the connection now wants pushed key events, or no longer
};

class IRequestHandler {
  public:
    virtual ~IRequestHandler() = default;
    // A request whose code is known and whose input has the code's size. Writes its output into `output`
    // (sized filterwire::OutputBytesFor(code)) and returns the status.
    virtual filterwire::Status HandleRequest(uint32_t code, std::span<const std::byte> input,
                                             std::span<std::byte> output, RequestContext& context) = 0;
    // The connection closed or was dropped; whatever it set up for itself ends.
    virtual void OnClientGone(uint64_t /*client*/) {}
};

// How many more bytes the request begun by `received` needs before it can be answered: up to the end of
// its header, then of its input. 0 when it can be answered now: complete, or its header claims more input
// than the server reads.
std::size_t RequestBytesWanted(std::span<const std::byte> received);

struct RequestOutcome {
    uint32_t code = 0;
    uint32_t length = 0;  // the input length the header claims
    filterwire::Status status = filterwire::Status::Ok;
    bool refused = false;  // unknown code or wrong size: the handler was not asked
    bool hangUp = false;   // the input was too long to read; the rest of the stream cannot be trusted
};

// Answers the request in `received` (one for which RequestBytesWanted is 0) and appends the reply to
// `reply`. Unknown codes and wrong sizes are refused here; the others go to `handler`. A refusal carries
// its reason as output.
RequestOutcome AnswerRequest(std::span<const std::byte> received, IRequestHandler& handler,
                             std::vector<std::byte>& reply, RequestContext& context);

// `text` cut to at most `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t limit);

}  // namespace kb::filterd
