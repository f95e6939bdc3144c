#include "src/RequestFraming.h"

#include <array>

namespace kb::filterd {

namespace fw = filterwire;

std::size_t RequestBytesWanted(std::span<const std::byte> received) {
    if (received.size() < fw::kHeaderBytes) {
        return fw::kHeaderBytes - received.size();
    }
    const uint32_t length = fw::GetU32(received.data() + 4);
    if (length > fw::kMaxInputBytes) {
        return 0;
    }
    const std::size_t total = fw::kHeaderBytes + length;
    return received.size() < total ? total - received.size() : 0;
}

RequestOutcome AnswerRequest(std::span<const std::byte> received, IRequestHandler& handler,
                             std::vector<std::byte>& reply) {
    RequestOutcome outcome;
    if (received.size() < fw::kHeaderBytes) {
        // Not a request yet; callers never get here, but a reply must still frame.
        outcome.status = fw::Status::BadSize;
        outcome.refused = true;
        outcome.hangUp = true;
        const fw::Header h = fw::MakeHeader(static_cast<uint32_t>(outcome.status), 0);
        reply.insert(reply.end(), h.begin(), h.end());
        return outcome;
    }
    const fw::HeaderFields h = fw::ParseHeader(received.first<fw::kHeaderBytes>());
    outcome.code = h.first;
    outcome.length = h.length;
    std::array<std::byte, fw::kMaxOutputBytes> output{};
    std::size_t outputBytes = 0;
    const std::optional<std::size_t> expected = fw::InputBytesFor(h.first);
    if (h.length > fw::kMaxInputBytes) {
        outcome.status = fw::Status::BadSize;
        outcome.hangUp = true;
    } else if (received.size() != fw::kHeaderBytes + h.length) {
        outcome.status = fw::Status::BadSize;  // not a whole request: the caller broke the framing
        outcome.hangUp = true;
    } else if (!expected) {
        outcome.status = fw::Status::UnknownRequest;
    } else if (*expected != h.length) {
        outcome.status = fw::Status::BadSize;
    }
    outcome.refused = outcome.hangUp || !expected || *expected != h.length;
    if (!outcome.refused) {
        outputBytes = fw::OutputBytesFor(h.first);
        outcome.status = handler.HandleRequest(h.first, received.subspan(fw::kHeaderBytes),
                                               std::span(output.data(), outputBytes));
        if (outcome.status != fw::Status::Ok) {
            outputBytes = 0;
        }
    }
    const fw::Header header =
        fw::MakeHeader(static_cast<uint32_t>(outcome.status), static_cast<uint32_t>(outputBytes));
    reply.insert(reply.end(), header.begin(), header.end());
    reply.insert(reply.end(), output.begin(), output.begin() + static_cast<std::ptrdiff_t>(outputBytes));
    return outcome;
}

}  // namespace kb::filterd
