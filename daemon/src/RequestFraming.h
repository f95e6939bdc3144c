// The requests on the daemon's socket (kb/device/FilterWire.h), taken from a client's byte stream one at
// a time and answered. No I/O: the socket server reads and writes, tests and fuzz targets feed bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "kb/device/FilterWire.h"

namespace kb::filterd {

class IRequestHandler {
  public:
    virtual ~IRequestHandler() = default;
    // A request whose code is known and whose input has the code's size. Writes its output into `output`
    // (sized filterwire::OutputBytesFor(code)) and returns the status.
    virtual filterwire::Status HandleRequest(uint32_t code, std::span<const std::byte> input,
                                             std::span<std::byte> output) = 0;
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
// `reply`. Unknown codes and wrong sizes are refused here; the others go to `handler`.
RequestOutcome AnswerRequest(std::span<const std::byte> received, IRequestHandler& handler,
                             std::vector<std::byte>& reply);

}  // namespace kb::filterd
