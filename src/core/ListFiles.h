#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forms/ListBox.h"
#include "platform/FileSystem.h"

namespace halvern::core {

/// The numbered-list files: [DomainCount] N = count, [Domains] D0 .. D(N-1) = entries.
/// Each operation reads the file once, in one pass that keeps nothing per line: memory follows
/// the entries, not the file's size. A FIFO, a device or a file larger than the settings limit
/// reads as a missing file (the file system reports the refusal).
namespace ListFiles {

inline constexpr const char* kCountSection = "DomainCount";
inline constexpr const char* kItemSection = "Domains";
/// The most entries a list can hold: the count is a 16-bit signed number.
inline constexpr int kMaxEntries = 32767;

/// A list as read in one pass: its count N (0 for a list that reads as empty, as a negative N
/// does) and the in-memory array shape: slots 0..N, slot i = trimmed entry i or "" for a gap,
/// slot N "".
struct List {
    int count = 0;
    std::vector<std::string> slots = std::vector<std::string>(1);
};
/// Reads the whole list in one pass.
List read(const platform::FileSystem& files, const std::string& path);

/// An entry longer than the reader takes: its index and its first characters.
struct LongEntry {
    int index = 0;
    std::string start;
};
/// Reads the list as read() does, but sees each entry whole up to maxChars characters (the read
/// buffer cuts it to 249): a longer entry is a gap and goes to tooLong, never cut into a
/// different value.
List readWhole(const platform::FileSystem& files, const std::string& path, std::size_t maxChars,
               std::vector<LongEntry>& tooLong);

/// The count N as a 16-bit number, or nothing when missing, not a number or out of range.
std::optional<std::int16_t> readCount(const platform::FileSystem& files, const std::string& path);
/// The count N's text as read (at most 249 characters), or nothing when the file, the section
/// or the key is missing.
std::optional<std::string> readCountText(const platform::FileSystem& files,
                                         const std::string& path);

/// The shared reading loop: calls onEntry(i, entry) for every non-empty trimmed entry i < N,
/// in index order, and returns N (0 for a list that reads as empty, as a negative N does).
int forEachEntry(const platform::FileSystem& files, const std::string& path,
                 const std::function<void(int index, const std::string& entry)>& onEntry);

/// The in-memory array shape: slots 0..N, slot i = trimmed entry i or "" for a gap, slot N "".
std::vector<std::string> readArray(const platform::FileSystem& files, const std::string& path);

}  // namespace ListFiles

/// Appends the file's non-empty entries to the list box, in index order.
void LoadListBox(forms::ListBox& list, const std::string& countSection,
                 const std::string& itemSection, const platform::FileSystem& files,
                 const std::string& path);
/// Writes the list box to the file in one write: N, then D0.. in list order, untrimmed. Keys
/// beyond the new N stay (N bounds every read). True only when the file was written.
bool SaveListBox(const forms::ListBox& list, const std::string& countSection,
                 const std::string& itemSection, platform::FileSystem& files,
                 const std::string& path);
/// True when an item equals the text, both trimmed and lower-cased; index = first such item.
/// Selects each item it passes, so the list ends on the found item or its last item. The index
/// is left as it was when nothing matches.
bool FindListItem(const std::string& text, forms::ListBox& list, int& index);

}  // namespace halvern::core
