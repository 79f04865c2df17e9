#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace halvern::core {

/// A fixed-size ring of text items, oldest out first. Slots are numbered 1..iMaxSize; "" is the
/// empty item. A buffer is unusable until a Create with a valid size.
class cCyclicBuffer {
public:
    using Event = std::function<void()>;

    /// An uncreated buffer; Create must follow. The dialogs show Create's error box.
    explicit cCyclicBuffer(platform::Dialogs& dialogs) : m_dialogs(dialogs) {}
    cCyclicBuffer(const cCyclicBuffer&) = delete;
    cCyclicBuffer& operator=(const cCyclicBuffer&) = delete;

    /// Empties the buffer and gives it room for size items; a size below 2 (or beyond the 16-bit
    /// range) shows a warning box and changes nothing. Keeps bOverwriteOnFull.
    void Create(int size);
    /// Stores an item; a full buffer drops it, or overwrites its oldest item when
    /// bOverwriteOnFull is set. An uncreated buffer stores nothing.
    void PutItem(const std::string& vItem);
    /// Removes and returns the oldest item; "" when the buffer is empty.
    std::string GetItem();
    /// True when every slot holds an item; raises BufFull then.
    bool IsFull();
    /// True when no item is held; raises BufEmpty then.
    bool IsEmpty();
    /// Forgets every item; the capacity stays.
    void ClearBuffer();
    /// Fills out with slots 0..iMaxSize (slot 0 unused): slots 1..iCurrentSize hold the items,
    /// oldest first, the remaining slots are "".
    void GetAllItems(std::vector<std::string>& out);
    /// Reports capacity, item count, next slot to write and slot of the oldest item.
    void GetInternalProperties(std::int16_t& maxSize, std::int16_t& currentSize, std::int16_t& head,
                               std::int16_t& tail) const;
    /// Makes this buffer a copy of the source: its size, threshold, overwrite flag and every
    /// non-empty item in order. Copying a buffer onto itself keeps its items.
    void Copy(cCyclicBuffer& cSrcCycBuf);

    /// Fill level at which ThresholdReached is raised after a store; 1 after Create.
    std::int16_t iThreshold = 0;
    /// A full buffer overwrites its oldest item instead of dropping the new one.
    bool bOverwriteOnFull = false;

    /// Raised by IsFull when it finds the buffer full.
    Event BufFull;
    /// Raised by IsEmpty when it finds the buffer empty.
    Event BufEmpty;
    /// Raised after a store that leaves iCurrentSize at or above iThreshold.
    Event ThresholdReached;

private:
    bool created() const { return iMaxSize >= 2; }
    std::int16_t next(std::int16_t slot) const {
        return static_cast<std::int16_t>(slot % iMaxSize + 1);
    }

    platform::Dialogs& m_dialogs;
    std::vector<std::string> vItems;  // slot 0 unused
    std::int16_t iMaxSize = 0;
    std::int16_t iCurrentSize = 0;
    std::int16_t iHead = 0;
    std::int16_t iTail = 0;
};

}  // namespace halvern::core
