#include "core/cCyclicBuffer.h"

#include <limits>

namespace halvern::core {

void cCyclicBuffer::Create(int size) {
    if (size < 2 || size > std::numeric_limits<std::int16_t>::max()) {
        m_dialogs.messageBox("Unable to create. Invalid buffer size.", "Error",
                             platform::BoxButtons::Ok, platform::BoxIcon::Warning);
        return;
    }
    iMaxSize = static_cast<std::int16_t>(size);
    vItems.assign(static_cast<std::size_t>(size) + 1, std::string());
    iHead = 1;
    iTail = 1;
    iCurrentSize = 0;
    iThreshold = 1;
}

void cCyclicBuffer::PutItem(const std::string& vItem) {
    if (!created()) {
        return;
    }
    const bool full = IsFull();
    const bool overwrite = full && bOverwriteOnFull;
    if (full && !overwrite) {
        return;
    }
    vItems[static_cast<std::size_t>(iHead)] = vItem;
    iHead = next(iHead);
    if (overwrite) {
        // The oldest item was overwritten, so the oldest is now the one after it.
        iTail = iHead;
    } else {
        ++iCurrentSize;
    }
    if (iCurrentSize >= iThreshold && ThresholdReached) {
        ThresholdReached();
    }
}

std::string cCyclicBuffer::GetItem() {
    if (IsEmpty()) {
        return {};
    }
    std::string item = vItems[static_cast<std::size_t>(iTail)];
    --iCurrentSize;
    iTail = next(iTail);
    return item;
}

bool cCyclicBuffer::IsFull() {
    const bool full = created() && iHead == iTail && iCurrentSize == iMaxSize;
    if (full && BufFull) {
        BufFull();
    }
    return full;
}

bool cCyclicBuffer::IsEmpty() {
    const bool empty = iHead == iTail && iCurrentSize == 0;
    if (empty && BufEmpty) {
        BufEmpty();
    }
    return empty;
}

void cCyclicBuffer::ClearBuffer() {
    if (!created()) {
        return;
    }
    iHead = 1;
    iTail = 1;
    iCurrentSize = 0;
}

void cCyclicBuffer::GetAllItems(std::vector<std::string>& out) {
    out.assign(static_cast<std::size_t>(iMaxSize) + 1, std::string());
    if (IsEmpty()) {
        return;
    }
    std::int16_t slot = iTail;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(iCurrentSize); ++i) {
        out[i] = vItems[static_cast<std::size_t>(slot)];
        slot = next(slot);
    }
}

void cCyclicBuffer::GetInternalProperties(std::int16_t& maxSize, std::int16_t& currentSize,
                                          std::int16_t& head, std::int16_t& tail) const {
    maxSize = iMaxSize;
    currentSize = iCurrentSize;
    head = iHead;
    tail = iTail;
}

void cCyclicBuffer::Copy(cCyclicBuffer& cSrcCycBuf) {
    std::int16_t maxSize = 0, currentSize = 0, head = 0, tail = 0;
    cSrcCycBuf.GetInternalProperties(maxSize, currentSize, head, tail);
    // Take the items before Create empties this buffer, so a copy onto itself keeps them.
    std::vector<std::string> items;
    cSrcCycBuf.GetAllItems(items);
    const std::int16_t threshold = cSrcCycBuf.iThreshold;
    const bool overwrite = cSrcCycBuf.bOverwriteOnFull;

    Create(maxSize);
    iThreshold = threshold;
    bOverwriteOnFull = overwrite;
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (!items[i].empty()) {
            PutItem(items[i]);
        }
    }
}

}  // namespace halvern::core
