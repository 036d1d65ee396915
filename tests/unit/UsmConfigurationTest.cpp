// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/config/UsmConfiguration.h"
#include "core/protocol/DatagramCodec.h"

namespace parvolink {
namespace {

const std::string kTable = "80001F8804\t6\t144\tadmin\tops\tc\td\te\tf\tg\th\t";

UsmConfiguration Parsed(const std::string& payload = kTable + "public\t") {
    UsmConfiguration usm;
    EXPECT_TRUE(ParseSnmpv3Reply(payload, usm));
    return usm;
}

TEST(UsmConfiguration, ShowsEachRowsLevelAndWhichPasswordsItUses) {
    const UsmConfiguration usm = Parsed();
    EXPECT_EQ(usm.engineId, "80001F88");  // cut to 8 characters
    EXPECT_EQ(usm.securityLevels, 6 + 256 * 144);
    EXPECT_EQ(usm.contextName, "public");
    struct Row {
        int row;
        const char* level;
        bool auth, priv;
    };
    const Row rows[] = {{0, "Auth, Priv", true, true},       {1, "Auth, noPriv", true, false},
                        {2, "noAuth, noPriv", false, false}, {5, "noAuth, noPriv", false, false},
                        {6, "Auth, noPriv", true, false},    {7, "Auth, Priv", true, true}};
    for (const Row& r : rows) {
        const UsmRowText text = RowText(usm, r.row);
        EXPECT_EQ(text.level, r.level) << r.row;
        EXPECT_EQ(text.auth, r.auth ? "********" : "") << r.row;
        EXPECT_EQ(text.priv, r.priv ? "********" : "") << r.row;
    }
    EXPECT_EQ(RowText(usm, 1).name, "ops");
    EXPECT_EQ(LevelName(3), "(3)");
}

TEST(UsmConfiguration, ContextNameOnlyWhenFieldTwelveEndsAndShortRepliesDropped) {
    UsmConfiguration usm = Parsed();
    ASSERT_TRUE(ParseSnmpv3Reply(kTable + "other", usm));  // no TAB after field 12
    EXPECT_EQ(usm.contextName, "public");
    EXPECT_FALSE(ParseSnmpv3Reply("80001F88\t1\t0\tadmin\t", usm));
    EXPECT_EQ(usm.userNames[0], "admin");
    EXPECT_EQ(usm.securityLevels, 6 + 256 * 144);
    ASSERT_TRUE(ParseSnmpv3Reply("e\t0\t0\tanamelongerthaneight\t\t\t\t\t\t\t\t", usm));
    EXPECT_EQ(usm.userNames[0], "anamelon");
}

std::array<std::uint8_t, 16> KeyOf(std::string_view password, std::string_view engine) {
    std::array<std::uint8_t, 16> key{};
    LocalizeKey(key,
                std::span(reinterpret_cast<const std::uint8_t*>(password.data()), password.size()),
                std::span(reinterpret_cast<const std::uint8_t*>(engine.data()), engine.size()));
    return key;
}

TEST(UsmConfiguration, SubmitKeyChecksThenDerivesTheKeysTheLevelNeeds) {
    struct Case {
        const char* name;
        int index;
        std::string user;
        int level;
        std::string auth, priv;
        std::string refusal;  // empty: accepted
    };
    const Case cases[] = {
        {"noRow", -1, "u", 0, "", "", "Please select the Index of the user."},
        {"noName", 2, "", 0, "", "", "Please fill in the User Name."},
        {"noLevel", 2, "u", -1, "", "", "Please select a Security Level."},
        {"shortAuth", 2, "u", AuthNoPriv, "1234567", "",
         "The length of Auth Password of should >=8 bytes."},
        {"shortPriv", 2, "u", AuthPriv, "12345678", "1234567",
         "The length of Priv Password of should >=8 bytes."},
        {"authOnly", 2, "u", AuthNoPriv, "12345678", "ignored", ""},
        {"both", 7, "user", AuthPriv, "12345678", "abcdefghijklmnopqrs", ""},
        {"none", 0, "u", NoAuthNoPriv, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UsmConfiguration usm = Parsed();
        usm.authKey.fill(0x77);
        const UsmConfiguration before = usm;
        const auto refusal = SubmitKey(usm, c.index, c.user, c.level, c.auth, c.priv);
        if (!c.refusal.empty()) {
            ASSERT_TRUE(refusal);
            EXPECT_EQ(refusal->text, c.refusal);
            EXPECT_EQ(usm.authKey, before.authKey);
            continue;
        }
        ASSERT_FALSE(refusal);
        EXPECT_EQ(usm.submitIndex, c.index);
        EXPECT_EQ(usm.submitLevel, c.level);
        EXPECT_EQ(usm.userNames[static_cast<std::size_t>(c.index)], c.user);
        const std::array<std::uint8_t, 16> zero{};
        EXPECT_EQ(usm.authKey, c.level >= AuthNoPriv ? KeyOf(c.auth, "80001F88") : zero);
        // Only the first 16 characters of a password are read.
        EXPECT_EQ(usm.privKey,
                  c.level >= AuthPriv ? KeyOf(c.priv.substr(0, 16), "80001F88") : zero);
    }
}

TEST(UsmConfiguration, RequestPayloadsCarryRawKeysByLength) {
    UsmConfiguration usm = Parsed();
    usm.submitIndex = 1;
    usm.submitLevel = AuthPriv;
    usm.authKey = {0, 9, 9, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0};
    usm.privKey.fill(9);
    const std::string payload = SetSnmpv3UserPayload(usm);
    const std::string text = "1\tops\t2\t";
    ASSERT_EQ(payload.size(), text.size() + 34);
    EXPECT_EQ(payload.substr(0, text.size()), text);
    EXPECT_EQ(payload.substr(text.size(), 16),
              std::string(reinterpret_cast<const char*>(usm.authKey.data()), 16));
    EXPECT_EQ(payload[text.size() + 16], '\t');
    EXPECT_EQ(payload.back(), '\t');
    // The codec carries the bytes unchanged.
    std::string back = DatagramCodec::DecodeText(DatagramCodec::EncodeText(payload));
    back.resize(payload.size());
    EXPECT_EQ(back, payload);
    usm.contextName = "ctx";
    EXPECT_EQ(SetSnmpv3ContextPayload(usm), "8\tctx\t0\t");
}

}  // namespace
}  // namespace parvolink
