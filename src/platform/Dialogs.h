#pragma once

#include <optional>
#include <string>

namespace halvern::platform {

enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxIcon { None, Information, Warning, Question, Critical };
enum class BoxAnswer { Ok, Cancel, Yes, No };

/// Modal message boxes and file dialogs. They keep the event loop running while they wait.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// Shows a message box and returns the button the user chose (closing it is Cancel or No).
    virtual BoxAnswer messageBox(const std::string& text, const std::string& title,
                                 BoxButtons buttons, BoxIcon icon) = 0;

    /// Asks for a file to open, starting at initialPath; nothing when the user cancels.
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                                const std::string& defaultExtension,
                                                const std::string& initialPath) = 0;
};

}  // namespace halvern::platform
