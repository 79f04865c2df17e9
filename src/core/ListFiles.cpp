#include "core/ListFiles.h"

#include "base/IniDocument.h"
#include "base/ValueConversion.h"
#include "core/IniFile.h"

namespace halvern::core {

using base::ValueConversion::lowerAscii;
using base::ValueConversion::trimBlanks;

namespace {

using Kind = base::IniDocument::ScannedLine::Kind;

/// The index of an item key "D" + index (any case, no leading zeros) below the most entries a
/// list can hold, or -1.
int itemIndex(std::string_view key) {
    if (key.size() < 2 || key.size() > 6 || (key[0] != 'D' && key[0] != 'd') ||
        (key[1] == '0' && key.size() > 2)) {
        return -1;
    }
    int index = 0;
    for (char c : key.substr(1)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        index = index * 10 + (c - '0');
    }
    return index < ListFiles::kMaxEntries ? index : -1;
}

/// What one pass over a list file's text finds: the count's text and the first value of each
/// item key, as views into the text. Nothing is kept per line of the file.
struct Scan {
    std::optional<std::string_view> countText;
    std::vector<std::pair<int, std::string_view>> items;  // in file order, first of each index
};

/// Walks the text with the reading rules: only the first section of each name counts, and in it
/// the first line of each key.
Scan scanList(std::string_view text, std::string_view countSection, std::string_view itemSection) {
    Scan scan;
    enum class In { Other, Count, Items } in = In::Other;
    bool countSeen = false;
    bool itemsSeen = false;
    std::vector<bool> itemSeen;
    std::size_t pos = 0;
    base::IniDocument::ScannedLine line;
    while (base::IniDocument::scanLine(text, pos, line)) {
        if (line.kind == Kind::Header) {
            in = In::Other;
            if (!countSeen && base::IniDocument::sameName(line.name, trimBlanks(countSection))) {
                in = In::Count;
                countSeen = true;
            } else if (!itemsSeen &&
                       base::IniDocument::sameName(line.name, trimBlanks(itemSection))) {
                in = In::Items;
                itemsSeen = true;
            }
            continue;
        }
        if (line.kind != Kind::Key || in == In::Other) {
            continue;
        }
        const std::string_view lineText = text.substr(line.begin, line.size);
        if (in == In::Count) {
            if (!scan.countText && base::IniDocument::sameName(line.name, "N")) {
                scan.countText = base::IniDocument::valueOf(lineText, line.equals);
            }
            continue;
        }
        const int index = itemIndex(line.name);
        if (index < 0) {
            continue;
        }
        if (itemSeen.empty()) {
            itemSeen.resize(ListFiles::kMaxEntries);
        }
        if (!itemSeen[static_cast<std::size_t>(index)]) {
            itemSeen[static_cast<std::size_t>(index)] = true;
            scan.items.emplace_back(index, base::IniDocument::valueOf(lineText, line.equals));
        }
    }
    return scan;
}

/// The count as the profile call reads it: cut to the read buffer.
std::string_view cutToBuffer(std::string_view value) {
    return value.substr(0, base::IniDocument::kReadBuffer - 1);
}

std::string readText(const platform::FileSystem& files, const std::string& path) {
    // A FIFO, a device or a file far beyond any real list size reads as a missing file.
    return files.readLimited(path, platform::FileSystem::kMaxSettingsBytes).content.value_or("");
}

/// The list of a file in one pass, with the given section names. With a window, entries are
/// seen whole up to that many characters and longer ones go to tooLong; without one they are
/// cut to the read buffer.
ListFiles::List readList(const platform::FileSystem& files, const std::string& path,
                         std::string_view countSection, std::string_view itemSection,
                         std::size_t window = 0,
                         std::vector<ListFiles::LongEntry>* tooLong = nullptr) {
    const std::string text = readText(files, path);
    const Scan scan = scanList(text, countSection, itemSection);
    const auto count = base::ValueConversion::toInt16(cutToBuffer(scan.countText.value_or("")));
    ListFiles::List list;
    list.count = count && *count > 0 ? *count : 0;
    list.slots.resize(static_cast<std::size_t>(list.count) + 1);
    constexpr std::size_t kShownStart = 40;
    for (const auto& [index, value] : scan.items) {
        if (window > 0 && index < list.count && trimBlanks(value).size() > window) {
            if (tooLong) {
                tooLong->push_back({index, std::string(trimBlanks(value).substr(0, kShownStart))});
            }
            continue;
        }
        // The value is trimmed before the cut to the read buffer, and the cut may end in blanks.
        const std::string_view entry =
            window > 0 ? trimBlanks(value) : trimBlanks(cutToBuffer(value));
        if (index < list.count && !entry.empty()) {
            list.slots[static_cast<std::size_t>(index)] = entry;
        }
    }
    return list;
}

}  // namespace

namespace ListFiles {

List read(const platform::FileSystem& files, const std::string& path) {
    return readList(files, path, kCountSection, kItemSection);
}

List readWhole(const platform::FileSystem& files, const std::string& path, std::size_t maxChars,
               std::vector<LongEntry>& tooLong) {
    return readList(files, path, kCountSection, kItemSection, maxChars, &tooLong);
}

std::optional<std::int16_t> readCount(const platform::FileSystem& files, const std::string& path) {
    return base::ValueConversion::toInt16(readCountText(files, path).value_or(""));
}

std::optional<std::string> readCountText(const platform::FileSystem& files,
                                         const std::string& path) {
    const std::string text = readText(files, path);
    const auto count = scanList(text, kCountSection, kItemSection).countText;
    return count ? std::optional<std::string>(cutToBuffer(*count)) : std::nullopt;
}

int forEachEntry(const platform::FileSystem& files, const std::string& path,
                 const std::function<void(int index, const std::string& entry)>& onEntry) {
    const List list = read(files, path);
    for (int i = 0; i < list.count; ++i) {
        if (!list.slots[static_cast<std::size_t>(i)].empty()) {
            onEntry(i, list.slots[static_cast<std::size_t>(i)]);
        }
    }
    return list.count;
}

std::vector<std::string> readArray(const platform::FileSystem& files, const std::string& path) {
    return read(files, path).slots;
}

}  // namespace ListFiles

void LoadListBox(forms::ListBox& list, const std::string& countSection,
                 const std::string& itemSection, const platform::FileSystem& files,
                 const std::string& path) {
    for (std::string& entry : readList(files, path, countSection, itemSection).slots) {
        if (!entry.empty()) {
            list.addItem(std::move(entry));
        }
    }
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
