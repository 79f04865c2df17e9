#include "platform/fake/FakeDialogs.h"

namespace halvern::platform {

BoxAnswer FakeDialogs::messageBox(const std::string& text, const std::string& title,
                                  BoxButtons buttons, BoxIcon icon) {
    m_boxes.push_back({text, title, buttons, icon});
    if (whileOpen) {
        whileOpen(m_boxes.back());
    }
    if (!m_answers.empty()) {
        const BoxAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
}

std::optional<std::string> FakeDialogs::openFile(const std::string& title,
                                                 const std::string& filter,
                                                 const std::string& defaultExtension,
                                                 const std::string& initialPath) {
    m_fileRequests.push_back({title, filter, defaultExtension, initialPath});
    if (m_files.empty()) {
        return std::nullopt;
    }
    auto path = m_files.front();
    m_files.pop_front();
    return path;
}

}  // namespace halvern::platform
