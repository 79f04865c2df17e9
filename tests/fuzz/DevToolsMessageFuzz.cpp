// libFuzzer entry for the DevTools client's reading: any bytes the launcher's socket may carry,
// cut into messages by the framing and fed to the target book, with the program's decisions in
// between.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/browser/DevToolsFraming.h"
#include "platform/browser/TargetBook.h"

using namespace halvern::platform;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // A small cap, so the fuzzer reaches the oversize path with small inputs.
    DevToolsMessageReader reader(512);
    TargetBook book;
    std::size_t messages = 0;
    std::int64_t id = 1;
    // The program decides every popup as it is held, alternately allowing and cancelling.
    book.onPopupHeld = [&](const HeldPopup& popup) {
        const SessionRecord* record = book.target(popup.id);
        check(record != nullptr && record->held);
        const std::string session = record->sessionId;
        if (id % 2 == 0) {
            book.noteCommand({{"id", id++}, {"method", "Fetch.enable"}, {"sessionId", session}});
        }
        book.noteCommand(
            {{"id", id++}, {"method", "Runtime.runIfWaitingForDebugger"}, {"sessionId", session}});
        book.noteCommand(
            {{"id", id++}, {"method", "Target.closeTarget"}, {"params", {{"targetId", popup.id}}}});
        check(book.target(popup.id) == nullptr || !book.target(popup.id)->held);
    };
    reader.onMessage = [&](std::string_view message) {
        check(message.size() <= 512);
        check(message.find('\0') == std::string_view::npos);
        ++messages;
        book.handleText(message);
    };
    // The same bytes in two pieces read the same messages as in one.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    reader.feed(input.substr(0, cut));
    reader.feed(input.substr(cut));
    check(reader.pending() <= 512);
    // Whatever came, the book's views stay consistent.
    for (const SessionRecord* record : book.sessions()) {
        check(book.session(record->sessionId) == record);
    }
    for (const BrowserPage& page : book.pages()) {
        check(book.target(page.id) != nullptr);
    }
    for (const std::string& event : book.attachEvents()) {
        check(!event.empty());
    }
    (void)messages;
    return 0;
}
