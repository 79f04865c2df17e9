#include "platform/linux/CryptPasswordHasher.h"

#include <gtest/gtest.h>

#include <string>

using halvern::platform::CryptPasswordHasher;

namespace {

TEST(CryptPasswordHasher, ARealHashVerifiesOnlyItsOwnPassword) {
    CryptPasswordHasher hasher;
    const std::string stored = hasher.hash("secret");
    ASSERT_TRUE(stored.starts_with("$y$")) << stored;
    EXPECT_TRUE(hasher.isHash(stored));
    EXPECT_TRUE(hasher.verify("secret", stored));
    EXPECT_FALSE(hasher.verify("Secret", stored));
    EXPECT_FALSE(hasher.verify("secret ", stored));
    EXPECT_FALSE(hasher.verify("", stored));
    EXPECT_NE(hasher.hash("secret"), stored) << "every hash has a salt of its own";
}

TEST(CryptPasswordHasher, FailureOutputsAndMalformedValuesNeverMatch) {
    CryptPasswordHasher hasher;
    const std::string good = hasher.hash("pw");
    ASSERT_FALSE(good.empty());
    for (const std::string& stored :
         {std::string("*"), std::string("*0"), std::string("*1"), std::string(""),
          std::string("pw"), std::string("$y$"), good.substr(0, good.size() - 1), good + "A",
          good.substr(0, good.rfind('$')), "$1$abc$" + good.substr(good.rfind('$') + 1),
          good.substr(0, good.rfind('$') + 1) + std::string(43, '!')}) {
        SCOPED_TRACE(stored);
        EXPECT_FALSE(hasher.isHash(stored));
        EXPECT_FALSE(hasher.verify("pw", stored));
        EXPECT_FALSE(hasher.verify("*", stored));
    }
}

TEST(CryptPasswordHasher, ATextWithANulByteIsNotHashedUpToIt) {
    CryptPasswordHasher hasher;
    EXPECT_EQ(hasher.hash(std::string("ab\0cd", 5)), "");
    const std::string stored = hasher.hash("ab");
    EXPECT_FALSE(hasher.verify(std::string("ab\0cd", 5), stored));
}

}  // namespace
