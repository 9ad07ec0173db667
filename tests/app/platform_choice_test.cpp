// The windowing platform chosen at start-up.
#include "platform_choice.h"

#include <gtest/gtest.h>

namespace
{

struct PlatformCase {
    const char *name;
    PlatformEnvironment env;
    const char *expected; // "" leaves Qt's choice
};

class PlatformChoice : public ::testing::TestWithParam<PlatformCase>
{
};

TEST_P(PlatformChoice, XWaylandWhenTheSessionIsWaylandAndTheUserChoseNothing)
{
    EXPECT_EQ(platform_override(GetParam().env), QByteArray(GetParam().expected));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sessions, PlatformChoice, ::testing::Values(
    PlatformCase{"WaylandWithXWayland", {"", "wayland", "wayland-0", ":0"}, "xcb;wayland"},
    PlatformCase{"WaylandDisplayOnly", {"", "", "wayland-0", ":1"}, "xcb;wayland"},
    PlatformCase{"WaylandWithoutXWayland", {"", "wayland", "wayland-0", ""}, ""},
    PlatformCase{"UserChoseWayland", {"wayland", "wayland", "wayland-0", ":0"}, ""},
    PlatformCase{"UserChoseOffscreen", {"offscreen", "wayland", "wayland-0", ":0"}, ""},
    PlatformCase{"X11Session", {"", "x11", "", ":0"}, ""},
    PlatformCase{"NoDisplayAtAll", {"", "tty", "", ""}, ""}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

} // namespace
