#include "core/ListFiles.h"

#include "base/IniDocument.h"
#include "base/ValueConversion.h"
#include "core/IniFile.h"

namespace halvern::core {

using base::ValueConversion::lowerAscii;
using base::ValueConversion::trimBlanks;

namespace {

base::IniDocument readDocument(const platform::FileSystem& files, const std::string& path) {
    const auto text = files.read(path);
    return text ? base::IniDocument::parse(*text) : base::IniDocument();
}

/// The reading loop over a parsed list: onEntry(i, entry) for each non-empty entry i < N.
/// Returns N, or 0 when the list reads as empty.
template <typename OnEntry>
int walkEntries(const base::IniDocument& doc, const std::string& countSection,
                const std::string& itemSection, const OnEntry& onEntry) {
    const auto count = base::ValueConversion::toInt16(doc.get(countSection, "N", ""));
    const int n = count && *count > 0 ? *count : 0;
    std::string key;
    for (int i = 0; i < n; ++i) {
        key = "D";
        key += std::to_string(i);
        const auto value = doc.view(itemSection, key);
        // The value is trimmed before the cut to the read buffer, and the cut may end in blanks.
        const std::string_view entry =
            value ? trimBlanks(value->substr(0, base::IniDocument::kReadBuffer - 1))
                  : std::string_view();
        if (!entry.empty()) {
            onEntry(i, entry);
        }
    }
    return n;
}

}  // namespace

namespace ListFiles {

std::optional<std::int16_t> readCount(const platform::FileSystem& files, const std::string& path) {
    return base::ValueConversion::toInt16(readDocument(files, path).get(kCountSection, "N", ""));
}

std::optional<std::string> readCountText(const platform::FileSystem& files,
                                         const std::string& path) {
    auto text = readDocument(files, path).get(kCountSection, "N");
    if (text && text->size() >= base::IniDocument::kReadBuffer) {
        text->resize(base::IniDocument::kReadBuffer - 1);
    }
    return text;
}

int forEachEntry(const platform::FileSystem& files, const std::string& path,
                 const std::function<void(int index, const std::string& entry)>& onEntry) {
    return walkEntries(
        readDocument(files, path), kCountSection, kItemSection,
        [&](int index, std::string_view entry) { onEntry(index, std::string(entry)); });
}

std::vector<std::string> readArray(const platform::FileSystem& files, const std::string& path) {
    const base::IniDocument doc = readDocument(files, path);
    std::vector<std::string> slots;
    const auto count = base::ValueConversion::toInt16(doc.get(kCountSection, "N", ""));
    slots.resize(count && *count > 0 ? static_cast<std::size_t>(*count) + 1 : 1);
    walkEntries(doc, kCountSection, kItemSection, [&](int index, std::string_view entry) {
        slots[static_cast<std::size_t>(index)] = entry;
    });
    return slots;
}

}  // namespace ListFiles

void LoadListBox(forms::ListBox& list, const std::string& countSection,
                 const std::string& itemSection, const platform::FileSystem& files,
                 const std::string& path) {
    walkEntries(readDocument(files, path), countSection, itemSection,
                [&](int, std::string_view entry) { list.addItem(std::string(entry)); });
}

bool SaveListBox(const forms::ListBox& list, const std::string& countSection,
                 const std::string& itemSection, platform::FileSystem& files,
                 const std::string& path) {
    IniFile file(files, path);
    file.set(countSection, "N", std::to_string(list.listCount()));
    for (int i = 0; i < list.listCount(); ++i) {
        file.set(itemSection, "D" + std::to_string(i), list.item(i));
    }
    return file.save();
}

bool FindListItem(const std::string& text, forms::ListBox& list, int& index) {
    const std::string wanted = lowerAscii(trimBlanks(text));
    for (int i = 0; i < list.listCount(); ++i) {
        list.setListIndex(i);
        if (lowerAscii(trimBlanks(list.item(i))) == wanted) {
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace halvern::core
