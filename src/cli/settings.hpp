#pragma once
// Public settings of an effect as the renderer shows and changes them.
#include "engine/script.hpp"
#include "production/studio.hpp"

#include <string>
#include <vector>

namespace zoetra::cli {

// One public setting: the config of the network, and where the studio keeps
// its value (a standing component's config for "CPU", "GIFIN", "GIFOUT" and
// "CUBE", whose settings the studio copies into the network at every start).
struct public_setting {
    component* owner;
    config* in_network;
    config* effective;
};

std::vector<public_setting> public_settings(studio& s, script& effect);

// One line per setting: "ID:NAME  title  values  range".
std::string describe_setting(const public_setting& setting);

// Finds the setting by config name or title ("ID:NAME" picks the component
// by id) and sets its value(s); the reason when the name matches nothing or
// several, or a value is out of range or not one of the items.
outcome assign_setting(std::vector<public_setting>& settings, const std::string& name,
                       const std::string& values);

} // namespace zoetra::cli
