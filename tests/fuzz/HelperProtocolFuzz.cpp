// libFuzzer entry for zorvik-helper's frame parser: any bytes a client may send on its socket.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "helper/Protocol.h"

using namespace halvern::helper::protocol;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The stream as the helper reads it: the first frame under the Hello's limit, then frames
    // one after another until one is incomplete, too large or malformed.
    std::size_t cap = kMaxHelloFrame;
    while (!input.empty()) {
        const FrameCut cut = cutFrame(input, cap);
        if (cut.status == FrameCut::Status::TooLarge) {
            check(cut.length == 0);
            break;
        }
        // What has arrived so far never changes where the frame ends.
        if (input.size() >= kPrefix) {
            check(cut.length >= kPrefix && cut.length - kPrefix <= cap);
            check(cutFrame(input.substr(0, kPrefix), cap).length == cut.length);
        } else {
            check(cut.length == 0);
        }
        if (cut.status == FrameCut::Status::Incomplete) {
            check(input.size() < cut.length || cut.length == 0);
            break;
        }
        check(cut.length <= input.size());
        const std::string_view payload = input.substr(kPrefix, cut.length - kPrefix);
        const auto message = decode(payload);
        if (!message) {
            break;
        }
        // A message decodes from exactly one encoding: what it encodes back to.
        check(encode(*message) == input.substr(0, cut.length));
        check(message->first.size() + message->second.size() <= payload.size());
        input.remove_prefix(cut.length);
        cap = kMaxFrame;
    }
    return 0;
}
