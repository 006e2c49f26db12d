// Buttons of game controllers bound to actions, fed device states as the
// joystick API reports them pass by pass.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerButtons.h"

// A button fires once as it goes down, not again while held; a device that
// appears with the button already down fires nothing until it is pressed
// anew; devices are found by GUID or by their name in any case.
TEST(ControllerButtons, FireOnceAsAButtonGoesDown)
{
    ControllerButtons buttons;
    buttons.bind(1, {"My Wheel", 4});
    buttons.bind(2, {"0300aa", 0});
    ControllerButtons::Device wheel{"MY WHEEL", "0300bb", {0, 0, 0, 0, 1}};
    ControllerButtons::Device pad{"Pad", "0300aa", {0}};
    auto pass = [&](const std::vector<ControllerButtons::Device>& devices) {
        std::vector<int> pressed;
        buttons.update(devices, &pressed);
        return pressed;
    };
    using Fired = std::vector<int>;
    EXPECT_EQ(pass({}), Fired{}) << "no device";
    EXPECT_EQ(pass({wheel}), Fired{}) << "it appeared held";
    EXPECT_EQ(pass({wheel}), Fired{}) << "still held";
    wheel.buttons[4] = 0;
    EXPECT_EQ(pass({wheel}), Fired{});
    wheel.buttons[4] = 1;
    EXPECT_EQ(pass({wheel}), Fired{1}) << "pressed";
    EXPECT_EQ(pass({wheel}), Fired{}) << "held";
    EXPECT_EQ(pass({wheel, pad}), Fired{}) << "the pad appeared released";
    pad.buttons[0] = 1;
    wheel.buttons[4] = 0;
    EXPECT_EQ(pass({pad, wheel}), Fired{2}) << "by GUID, in any order";
    wheel.buttons[4] = 1;
    EXPECT_EQ(pass({pad, wheel}), Fired{1});
}
