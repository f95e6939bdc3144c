#include "src/RequestFraming.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kb::filterd {

namespace fw = filterwire;

namespace {

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

}  // namespace

std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    // Back off over continuation bytes so that the cut falls before a sequence's first byte.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) {
        --end;
    }
    return text.substr(0, end);
}

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
                             std::vector<std::byte>& reply, RequestContext& context) {
    RequestOutcome outcome;
    std::array<std::byte, fw::kMaxOutputBytes> output{};
    std::size_t outputBytes = 0;
    if (received.size() < fw::kHeaderBytes) {
        // Not a request yet; callers never get here, but a reply must still frame.
        outcome.status = fw::Status::BadSize;
        outcome.refused = true;
        outcome.hangUp = true;
        context.reason = "incomplete request";
    } else {
        const fw::HeaderFields h = fw::ParseHeader(received.first<fw::kHeaderBytes>());
        outcome.code = h.first;
        outcome.length = h.length;
        const std::optional<std::size_t> expected = fw::InputBytesFor(h.first);
        if (h.length > fw::kMaxInputBytes) {
            outcome.status = fw::Status::BadSize;
            outcome.hangUp = true;
            context.reason = "input of " + std::to_string(h.length) + " bytes, more than " +
                             std::to_string(fw::kMaxInputBytes) + "; closing the connection";
        } else if (received.size() != fw::kHeaderBytes + h.length) {
            outcome.status = fw::Status::BadSize;  // not a whole request: the caller broke the framing
            outcome.hangUp = true;
            context.reason = "incomplete request";
        } else if (!expected) {
            outcome.status = fw::Status::UnknownRequest;
            context.reason = "unknown request " + Hex(h.first);
        } else if (*expected != h.length) {
            outcome.status = fw::Status::BadSize;
            context.reason = "request " + Hex(h.first) + " takes " + std::to_string(*expected) +
                             " input bytes, not " + std::to_string(h.length);
        }
        outcome.refused = outcome.hangUp || !expected || *expected != h.length;
        if (!outcome.refused) {
            outputBytes = fw::OutputBytesFor(h.first);
            outcome.status = handler.HandleRequest(h.first, received.subspan(fw::kHeaderBytes),
                                                   std::span(output.data(), outputBytes), context);
        }
    }
    if (outcome.status != fw::Status::Ok) {
        const std::string_view reason = CutUtf8(context.reason, fw::kMaxReasonBytes);
        outputBytes = reason.size();
        std::transform(reason.begin(), reason.end(), output.begin(),
                       [](char c) { return static_cast<std::byte>(c); });
    }
    const fw::Header header =
        fw::MakeHeader(static_cast<uint32_t>(outcome.status), static_cast<uint32_t>(outputBytes));
    reply.insert(reply.end(), header.begin(), header.end());
    reply.insert(reply.end(), output.begin(), output.begin() + static_cast<std::ptrdiff_t>(outputBytes));
    return outcome;
}

}  // namespace kb::filterd
