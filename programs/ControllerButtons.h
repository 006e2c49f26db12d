// Buttons of a wheel or another game controller bound to a program's
// actions: a button that goes down fires its action once, however long it is
// held. Devices are found by their name or GUID whenever they are plugged in.
#pragma once

#include <string>
#include <vector>

#include "Settings.h"

class ControllerButtons {
public:
    // One connected controller as the system reports it.
    struct Device {
        std::string name;
        std::string guid;
        std::vector<unsigned char> buttons; // 1 while pressed
    };

    // Binds the button to `action`; an unbound binding is ignored.
    void bind(int action, const ButtonBinding& button);
    bool empty() const { return bindings.empty(); }

    // Reads the connected controllers (GLFW's joystick API) and appends the
    // actions whose button went down since the last call.
    void poll(std::vector<int>* pressed);

    // The same from the given devices: a bound button fires on the first
    // update that finds it pressed after one that found it released. A
    // button held when its device first appears does not fire.
    void update(const std::vector<Device>& devices, std::vector<int>* pressed);

    // The controllers connected now, for the usage text; empty when GLFW
    // cannot start (no display).
    static std::vector<Device> connected();

private:
    void update(const Device* devices, size_t count, std::vector<int>* pressed);

    struct Binding {
        int action;
        ButtonBinding button;
        int state; // -1 unseen (no device), 0 released, 1 pressed
    };
    std::vector<Binding> bindings;
    std::vector<Device> devices; // kept between polls
};

// "button 4 of "My Wheel"", for the usage text.
std::string describeButton(const ButtonBinding& button);
