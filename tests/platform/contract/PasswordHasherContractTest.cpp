// What every PasswordHasher promises, as one typed suite: the fast fake and libxcrypt's yescrypt.

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/FakePasswordHasher.h"
#include "platform/linux/CryptPasswordHasher.h"

namespace halvern::platform::contract {
namespace {

template <typename Hasher>
class PasswordHasherContract : public ::testing::Test {
protected:
    Hasher m_hasher;
};

using Hashers = ::testing::Types<FakePasswordHasher, CryptPasswordHasher>;
TYPED_TEST_SUITE(PasswordHasherContract, Hashers);

TYPED_TEST(PasswordHasherContract, AHashVerifiesItsPasswordExactly) {
    PasswordHasher& hasher = this->m_hasher;
    const std::string stored = hasher.hash("pass word");
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(hasher.isHash(stored));
    EXPECT_EQ(stored.find("pass word"), std::string::npos);
    EXPECT_TRUE(hasher.verify("pass word", stored));
    for (const char* other : {"Pass word", "pass word ", "pass", ""}) {
        EXPECT_FALSE(hasher.verify(other, stored)) << other;
    }
    EXPECT_NE(hasher.hash("pass word"), stored) << "each hash has its own salt";
}

TYPED_TEST(PasswordHasherContract, PlainValuesAndFailureOutputsAreNoHashAndNeverMatch) {
    PasswordHasher& hasher = this->m_hasher;
    for (const std::string& stored : {std::string(), std::string("*"), std::string("*0"),
                                      std::string("secret"), std::string("$")}) {
        EXPECT_FALSE(hasher.isHash(stored)) << stored;
        EXPECT_FALSE(hasher.verify(stored, stored)) << stored;
        EXPECT_FALSE(hasher.verify("", stored)) << stored;
    }
}

}  // namespace
}  // namespace halvern::platform::contract
