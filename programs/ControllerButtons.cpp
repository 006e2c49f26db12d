#include "ControllerButtons.h"

#include <cctype>

#include <GLFW/glfw3.h>

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The device the binding names: its GUID, or its name in any case; the first
// of several alike.
const ControllerButtons::Device* find(const ControllerButtons::Device* devices, size_t count,
                                      const std::string& device)
{
    for (size_t i = 0; i < count; ++i)
        if (devices[i].guid == device || sameIgnoringCase(devices[i].name, device))
            return &devices[i];
    return nullptr;
}

// Reads joystick `jid` into *device; false when nothing is plugged in there.
bool readJoystick(int jid, ControllerButtons::Device* device)
{
    if (!glfwJoystickPresent(jid))
        return false;
    const char* name = glfwGetJoystickName(jid);
    const char* guid = glfwGetJoystickGUID(jid);
    int count = 0;
    const unsigned char* buttons = glfwGetJoystickButtons(jid, &count);
    device->name = name ? name : "";
    device->guid = guid ? guid : "";
    device->buttons.assign(buttons, buttons + (buttons ? count : 0));
    return true;
}

} // namespace

void ControllerButtons::bind(int action, const ButtonBinding& button)
{
    if (button.bound())
        bindings.push_back({action, button, -1});
}

void ControllerButtons::poll(std::vector<int>* pressed)
{
    if (bindings.empty())
        return;
    // The devices' storage is kept from pass to pass, so a pass allocates
    // nothing once it has seen them.
    size_t n = 0;
    for (int jid = GLFW_JOYSTICK_1; jid <= GLFW_JOYSTICK_LAST; ++jid) {
        if (devices.size() <= n)
            devices.emplace_back();
        if (readJoystick(jid, &devices[n]))
            ++n;
    }
    update(devices.data(), n, pressed);
}

void ControllerButtons::update(const std::vector<Device>& connected, std::vector<int>* pressed)
{
    update(connected.data(), connected.size(), pressed);
}

void ControllerButtons::update(const Device* connected, size_t count, std::vector<int>* pressed)
{
    for (Binding& b : bindings) {
        const Device* device = find(connected, count, b.button.device);
        const size_t index = static_cast<size_t>(b.button.button);
        const int now = device && index < device->buttons.size() ? (device->buttons[index] ? 1 : 0) : -1;
        if (now == 1 && b.state == 0)
            pressed->push_back(b.action);
        b.state = now;
    }
}

std::vector<ControllerButtons::Device> ControllerButtons::connected()
{
    std::vector<Device> found;
    if (!glfwInit())
        return found;
    Device device;
    for (int jid = GLFW_JOYSTICK_1; jid <= GLFW_JOYSTICK_LAST; ++jid)
        if (readJoystick(jid, &device))
            found.push_back(device);
    return found;
}

std::string describeButton(const ButtonBinding& button)
{
    return "button " + std::to_string(button.button) + " of \"" + button.device + "\"";
}
