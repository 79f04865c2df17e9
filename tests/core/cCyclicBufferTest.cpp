#include "core/cCyclicBuffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "platform/fake/FakeDialogs.h"

using halvern::core::cCyclicBuffer;
using halvern::platform::BoxIcon;
using halvern::platform::FakeDialogs;

namespace {

struct CyclicBufferTest : ::testing::Test {
    FakeDialogs dialogs;
    cCyclicBuffer buffer{dialogs};

    std::vector<std::string> all() {
        std::vector<std::string> items;
        buffer.GetAllItems(items);
        return items;
    }
    void putNumbered(int from, int to) {
        for (int i = from; i <= to; ++i) {
            buffer.PutItem("r" + std::to_string(i));
        }
    }
};

TEST_F(CyclicBufferTest, OverwritingBufferKeepsTheLatestItemsOldestInSlotOne) {
    buffer.Create(50);
    buffer.bOverwriteOnFull = true;
    putNumbered(1, 51);

    const auto items = all();
    ASSERT_EQ(items.size(), 51u) << "slots 1..50 plus the unused slot 0";
    EXPECT_EQ(items[0], "");
    for (int slot = 1; slot <= 50; ++slot) {
        EXPECT_EQ(items[slot], "r" + std::to_string(slot + 1)) << "slot " << slot;
    }
    std::int16_t maxSize, currentSize, head, tail;
    buffer.GetInternalProperties(maxSize, currentSize, head, tail);
    EXPECT_EQ(maxSize, 50);
    EXPECT_EQ(currentSize, 50);
    EXPECT_EQ(head, 2);
    EXPECT_EQ(tail, 2);
    EXPECT_EQ(buffer.GetItem(), "r2");
}

TEST_F(CyclicBufferTest, FullBufferWithoutOverwriteDropsNewItemsUntilOneIsTaken) {
    buffer.Create(3);
    putNumbered(1, 4);
    EXPECT_TRUE(buffer.IsFull());
    EXPECT_EQ(all(), (std::vector<std::string>{"", "r1", "r2", "r3"}));

    EXPECT_EQ(buffer.GetItem(), "r1");
    EXPECT_FALSE(buffer.IsFull());
    buffer.PutItem("r5");
    EXPECT_EQ(all(), (std::vector<std::string>{"", "r2", "r3", "r5"}));
}

TEST_F(CyclicBufferTest, CreateRejectsSizesOutsideTwoToTheSixteenBitLimit) {
    struct Case {
        int size;
        bool accepted;
    };
    for (const Case& c : {Case{-3, false}, Case{0, false}, Case{1, false}, Case{2, true},
                          Case{50, true}, Case{32767, true}, Case{32768, false}}) {
        FakeDialogs boxes;
        cCyclicBuffer ring(boxes);
        ring.Create(c.size);
        std::int16_t maxSize, currentSize, head, tail;
        ring.GetInternalProperties(maxSize, currentSize, head, tail);
        if (c.accepted) {
            EXPECT_TRUE(boxes.boxes().empty()) << c.size;
            EXPECT_EQ(maxSize, c.size);
            EXPECT_EQ(ring.iThreshold, 1);
        } else {
            ASSERT_EQ(boxes.boxes().size(), 1u) << c.size;
            EXPECT_EQ(boxes.boxes()[0].text, "Unable to create. Invalid buffer size.");
            EXPECT_EQ(boxes.boxes()[0].title, "Error");
            EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::Warning);
            EXPECT_EQ(maxSize, 0);
        }
    }
}

TEST_F(CyclicBufferTest, InvalidCreateLeavesAWorkingBufferAsItWas) {
    buffer.Create(4);
    buffer.bOverwriteOnFull = true;
    buffer.iThreshold = 3;
    putNumbered(1, 2);
    buffer.Create(1);
    EXPECT_EQ(all(), (std::vector<std::string>{"", "r1", "r2", "", ""}));
    EXPECT_EQ(buffer.iThreshold, 3);
}

TEST_F(CyclicBufferTest, ValidCreateEmptiesButKeepsTheOverwriteSetting) {
    buffer.Create(3);
    buffer.bOverwriteOnFull = true;
    putNumbered(1, 3);
    buffer.Create(2);
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_TRUE(buffer.bOverwriteOnFull);
    putNumbered(4, 6);
    EXPECT_EQ(all(), (std::vector<std::string>{"", "r5", "r6"}));
}

TEST_F(CyclicBufferTest, UncreatedBufferStoresNothingAndDoesNotCrash) {
    buffer.PutItem("lost");
    buffer.bOverwriteOnFull = true;
    buffer.PutItem("lost too");
    EXPECT_FALSE(buffer.IsFull());
    EXPECT_EQ(buffer.GetItem(), "");
    EXPECT_EQ(all(), std::vector<std::string>{""});
    buffer.ClearBuffer();

    buffer.Create(1);  // still unusable
    buffer.PutItem("lost");
    EXPECT_EQ(buffer.GetItem(), "");
}

TEST_F(CyclicBufferTest, ClearBufferLeavesOnlyEmptySlots) {
    buffer.Create(3);
    buffer.bOverwriteOnFull = true;
    putNumbered(1, 5);
    buffer.ClearBuffer();
    EXPECT_EQ(all(), (std::vector<std::string>{"", "", "", ""}));
    EXPECT_TRUE(buffer.IsEmpty());
    EXPECT_EQ(buffer.GetItem(), "");
    buffer.PutItem("new");
    EXPECT_EQ(all(), (std::vector<std::string>{"", "new", "", ""}));
}

TEST_F(CyclicBufferTest, CopyTakesSizeSettingsAndItemsInOrder) {
    FakeDialogs otherDialogs;
    cCyclicBuffer source(otherDialogs);
    source.Create(4);
    source.bOverwriteOnFull = true;
    source.iThreshold = 3;
    for (const char* item : {"a", "b", "c", "d", "e", "f"}) {
        source.PutItem(item);  // wraps around: c d e f
    }
    buffer.Create(10);
    putNumbered(1, 7);

    buffer.Copy(source);
    std::int16_t maxSize, currentSize, head, tail;
    buffer.GetInternalProperties(maxSize, currentSize, head, tail);
    EXPECT_EQ(maxSize, 4);
    EXPECT_EQ(currentSize, 4);
    EXPECT_EQ(buffer.iThreshold, 3);
    EXPECT_TRUE(buffer.bOverwriteOnFull);
    EXPECT_EQ(all(), (std::vector<std::string>{"", "c", "d", "e", "f"}));
    EXPECT_EQ(source.GetItem(), "c") << "the source is left as it was";
}

TEST_F(CyclicBufferTest, CopyOntoItselfKeepsTheItems) {
    buffer.Create(3);
    putNumbered(1, 2);
    buffer.Copy(buffer);
    EXPECT_EQ(all(), (std::vector<std::string>{"", "r1", "r2", ""}));
}

TEST_F(CyclicBufferTest, EventsFollowFullnessEmptinessAndThreshold) {
    int full = 0, empty = 0, threshold = 0;
    buffer.BufFull = [&] { ++full; };
    buffer.BufEmpty = [&] { ++empty; };
    buffer.ThresholdReached = [&] { ++threshold; };
    buffer.Create(3);
    buffer.iThreshold = 2;

    buffer.PutItem("a");
    EXPECT_EQ(threshold, 0);
    buffer.PutItem("b");
    buffer.PutItem("c");
    EXPECT_EQ(threshold, 2);
    EXPECT_EQ(full, 0);
    buffer.PutItem("dropped");
    EXPECT_EQ(full, 1);
    EXPECT_EQ(threshold, 2) << "a dropped item is no store";

    for (int i = 0; i < 4; ++i) {
        buffer.GetItem();
    }
    EXPECT_EQ(empty, 1) << "only the read of the empty buffer finds it empty";
}

// Random puts and gets against a plain queue, for every small size and both full-buffer rules.
TEST_F(CyclicBufferTest, BehavesLikeABoundedQueueUnderRandomUse) {
    std::mt19937 random(7);
    for (int size = 2; size <= 5; ++size) {
        for (bool overwrite : {false, true}) {
            FakeDialogs boxes;
            cCyclicBuffer ring(boxes);
            ring.Create(size);
            ring.bOverwriteOnFull = overwrite;
            std::deque<std::string> model;
            for (int step = 0; step < 400; ++step) {
                if (random() % 3 != 0) {
                    const std::string item = "i" + std::to_string(step);
                    ring.PutItem(item);
                    if (static_cast<int>(model.size()) < size) {
                        model.push_back(item);
                    } else if (overwrite) {
                        model.pop_front();
                        model.push_back(item);
                    }
                } else {
                    const std::string expected = model.empty() ? "" : model.front();
                    if (!model.empty()) {
                        model.pop_front();
                    }
                    ASSERT_EQ(ring.GetItem(), expected) << "size " << size << " step " << step;
                }
                std::vector<std::string> items;
                ring.GetAllItems(items);
                std::vector<std::string> expected(static_cast<std::size_t>(size) + 1);
                std::copy(model.begin(), model.end(), expected.begin() + 1);
                ASSERT_EQ(items, expected) << "size " << size << " step " << step;
            }
        }
    }
}

}  // namespace
