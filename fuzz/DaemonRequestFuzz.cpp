// kbfilterd's socket: a client's byte stream taken apart into requests and answered the way the server
// does it, with a handler that checks what reaches it.
#include <algorithm>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "src/RequestFraming.h"

namespace {

namespace fw = kb::filterwire;

class CheckingHandler final : public kb::filterd::IRequestHandler {
  public:
    fw::Status HandleRequest(uint32_t code, std::span<const std::byte> input, std::span<std::byte> output,
                             kb::filterd::RequestContext&) override {
        const std::optional<std::size_t> expected = fw::InputBytesFor(code);
        if (!expected || *expected != input.size() || output.size() != fw::OutputBytesFor(code)) {
            kbfuzz::Fail("the handler got a request the framing should have refused");
        }
        std::fill(output.begin(), output.end(), std::byte{0x5A});
        return input.empty() || input[0] != std::byte{0} ? fw::Status::Ok : fw::Status::BadSize;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto stream = std::as_bytes(std::span<const uint8_t>(data, size));
    CheckingHandler handler;
    std::vector<std::byte> received;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        const std::size_t wanted = kb::filterd::RequestBytesWanted(received);
        if (wanted > 0) {
            const std::size_t take = std::min(wanted, stream.size() - pos);
            received.insert(received.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos),
                            stream.begin() + static_cast<std::ptrdiff_t>(pos + take));
            pos += take;
            continue;
        }
        std::vector<std::byte> reply;
        kb::filterd::RequestContext context;
        const kb::filterd::RequestOutcome outcome =
            kb::filterd::AnswerRequest(received, handler, reply, context);
        if (reply.size() < fw::kHeaderBytes) {
            kbfuzz::Fail("a reply without its header");
        }
        const fw::HeaderFields header = fw::ParseHeader(std::span(reply).first<fw::kHeaderBytes>());
        if (reply.size() != fw::kHeaderBytes + header.length || header.length > fw::kMaxOutputBytes) {
            kbfuzz::Fail("a reply whose length does not frame it");
        }
        if (header.first != static_cast<uint32_t>(fw::Status::Ok) && header.length > fw::kMaxReasonBytes) {
            kbfuzz::Fail("a refusal's reason longer than the limit");
        }
        received.clear();
        if (outcome.hangUp) {
            break;
        }
    }
    return 0;
}
