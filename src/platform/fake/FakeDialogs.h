#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "platform/Dialogs.h"

namespace halvern::platform {

/// Records every box and answers from a script; unscripted boxes get their first button.
class FakeDialogs final : public Dialogs {
public:
    struct Box {
        std::string text;
        std::string title;
        BoxButtons buttons;
        BoxIcon icon;
    };

    BoxAnswer messageBox(const std::string& text, const std::string& title, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                        const std::string& defaultExtension,
                                        const std::string& initialPath) override;

    /// Queues the answer of the next box.
    void answerNext(BoxAnswer answer) { m_answers.push_back(answer); }
    /// Queues the result of the next file dialog (nothing = cancelled).
    void chooseNextFile(std::optional<std::string> path) { m_files.push_back(std::move(path)); }
    /// Runs while a box is open, as the user's loop would run other handlers.
    std::function<void(const Box&)> whileOpen;

    const std::vector<Box>& boxes() const { return m_boxes; }

    /// A file dialog as it was opened.
    struct FileRequest {
        std::string title;
        std::string filter;
        std::string defaultExtension;
        std::string initialPath;
    };
    const std::vector<FileRequest>& fileRequests() const { return m_fileRequests; }
    void clear() { m_boxes.clear(); }

private:
    std::vector<Box> m_boxes;
    std::deque<BoxAnswer> m_answers;
    std::deque<std::optional<std::string>> m_files;
    std::vector<FileRequest> m_fileRequests;
};

}  // namespace halvern::platform
