#include "core/BlockedRings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/FakeDialogs.h"

using halvern::core::BlockedRings;
using halvern::core::cCyclicBuffer;
using halvern::forms::ListBox;
using halvern::platform::FakeDialogs;

namespace {

struct BlockedRingsTest : ::testing::Test {
    using Filler = void (BlockedRings::*)(ListBox&);
    struct Ring {
        const char* name;
        cCyclicBuffer BlockedRings::*ring;
        Filler fill;
    };
    static std::vector<Ring> rings() {
        return {{"cycIEPopups", &BlockedRings::cycIEPopups, &BlockedRings::FillListPopupIE},
                {"cycTitles", &BlockedRings::cycTitles, &BlockedRings::FillListPopupTitles},
                {"cycSpyware", &BlockedRings::cycSpyware, &BlockedRings::FillListSpywareTitles},
                {"cycAdServers", &BlockedRings::cycAdServers, &BlockedRings::FillListAdServers}};
    }

    FakeDialogs dialogs;
    BlockedRings blocked{dialogs};
    ListBox list{"lstIn"};
};

TEST_F(BlockedRingsTest, EachListShowsTheLatest50RecordsNewestFirst) {
    for (const Ring& r : rings()) {
        cCyclicBuffer& ring = blocked.*r.ring;
        for (int i = 1; i <= 51; ++i) {
            ring.PutItem("r" + std::to_string(i));
        }
        list.addItem("stale");
        (blocked.*r.fill)(list);
        ASSERT_EQ(list.listCount(), 50) << r.name;
        EXPECT_EQ(list.item(0), "r51") << r.name;
        EXPECT_EQ(list.item(49), "r2") << r.name;
    }
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(BlockedRingsTest, ListsSkipEmptyRecordsAndKeepTheRingsApart) {
    blocked.cycTitles.PutItem("10:00:00 title");
    blocked.cycTitles.PutItem("");
    blocked.cycTitles.PutItem("10:00:01 title");
    blocked.FillListPopupTitles(list);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"10:00:01 title", "10:00:00 title"}));
    blocked.FillListAdServers(list);
    EXPECT_EQ(list.listCount(), 0);
}

TEST_F(BlockedRingsTest, ClearLogEmptiesEveryRingAndKeepsOverwriteOn) {
    for (const Ring& r : rings()) {
        (blocked.*r.ring).PutItem("old");
    }
    blocked.ClearLog();
    for (const Ring& r : rings()) {
        cCyclicBuffer& ring = blocked.*r.ring;
        EXPECT_TRUE(ring.IsEmpty()) << r.name;
        EXPECT_TRUE(ring.bOverwriteOnFull) << r.name;
        std::int16_t maxSize, currentSize, head, tail;
        ring.GetInternalProperties(maxSize, currentSize, head, tail);
        EXPECT_EQ(maxSize, 50) << r.name;
        for (int i = 0; i < 60; ++i) {
            ring.PutItem("new");
        }
        ring.GetInternalProperties(maxSize, currentSize, head, tail);
        EXPECT_EQ(currentSize, 50) << r.name;
    }
}

}  // namespace
