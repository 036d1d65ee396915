// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/StartOptions.h"

namespace parvolink {
namespace {

TEST(StartOptions, UserSettingsGoToTheConfigurationDirectory) {
    char name[] = "parvolink";
    char user[] = "--user-settings";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* withOption[] = {name, platform, offscreen, user};
    const auto options = ParseStartOptions(4, withOption);
    ASSERT_TRUE(std::holds_alternative<StartOptions>(options));
    EXPECT_TRUE(std::get<StartOptions>(options).userSettings);
    char* without[] = {name, platform, offscreen};
    EXPECT_FALSE(std::get<StartOptions>(ParseStartOptions(3, without)).userSettings);

    const std::filesystem::path here = "/srv/work";
    EXPECT_EQ(SettingsDirectory(false, here, "/x/config", "/home/ann"), here);
    EXPECT_EQ(SettingsDirectory(true, here, "/x/config", "/home/ann"), "/x/config/Parvolink");
    EXPECT_EQ(SettingsDirectory(true, here, nullptr, "/home/ann"), "/home/ann/.config/Parvolink");
    // The XDG rule: a relative value is ignored.
    EXPECT_EQ(SettingsDirectory(true, here, "config", "/home/ann"), "/home/ann/.config/Parvolink");
}

}  // namespace
}  // namespace parvolink
