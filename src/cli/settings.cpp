#include "cli/settings.hpp"

#include "base/utility.hpp"
#include "engine/text_settings.hpp"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace zoetra::cli {

std::vector<public_setting> public_settings(studio& s, script& effect) {
    std::vector<public_setting> list;
    for (int i = 0; i < effect.component_count(); ++i) {
        component& c = effect.component_at(i);
        component* standing = nullptr;
        for (const char* name : {"CPU", "GIFIN", "GIFOUT", "CUBE"})
            if (same_name(c.name(), name))
                standing = &s.standing(name);
        for (int k = 0; k < c.config_count(); ++k) {
            config& setting = c.config_at(k);
            if (!setting.shown())
                continue;
            config* effective = &setting;
            if (standing != nullptr && k < standing->config_count())
                effective = &standing->config_at(k);
            list.push_back(public_setting{&c, &setting, effective});
        }
    }
    return list;
}

namespace {

std::string number_text(double v) {
    return format("%g", v);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

outcome assign_numbers(cfg_FP64& number, const std::string& values, const std::string& name) {
    std::vector<std::string> parts = split(values, ',');
    if (parts.empty() || int(parts.size()) > number.count())
        return outcome::failure(format("\"%s\" takes %d value(s)", name.c_str(), number.count()));
    std::vector<double> parsed;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        char* end = nullptr;
        double v = std::strtod(parts[i].c_str(), &end);
        if (parts[i].empty() || *end != 0 || !std::isfinite(v))
            return outcome::failure(
                format("\"%s\" needs numbers, not \"%s\"", name.c_str(), parts[i].c_str()));
        int k = static_cast<int>(i);
        if (v < number.minimum(k) || v > number.maximum(k))
            return outcome::failure(format("the value %s of \"%s\" is out of its range %s to %s",
                                           parts[i].c_str(), name.c_str(),
                                           number_text(number.minimum(k)).c_str(),
                                           number_text(number.maximum(k)).c_str()));
        parsed.push_back(v);
    }
    for (std::size_t i = 0; i < parsed.size(); ++i)
        number.set_value(static_cast<int>(i), parsed[i]);
    return outcome::success();
}

outcome assign_menu(cfg_menu& menu, const std::string& value, const std::string& name) {
    if (menu.select_by_name(value))
        return outcome::success();
    for (int i = 0; i < menu.count(); ++i) {
        if (same_name(menu.label(i), value)) {
            menu.select(i);
            return outcome::success();
        }
    }
    std::string items;
    for (int i = 0; i < menu.count(); ++i)
        items += (i ? ", " : "") + menu.item_name(i);
    return outcome::failure(format("\"%s\" is not one of the items of \"%s\" (%s)", value.c_str(),
                                   name.c_str(), items.c_str()));
}

} // namespace

std::string describe_setting(const public_setting& setting) {
    const config& c = *setting.effective;
    std::string line = setting.owner->desc().id + ":" + setting.in_network->name();
    std::string title = setting.in_network->desc().title;
    if (title != setting.in_network->name())
        line += "  \"" + title + "\"";
    if (const auto* number = dynamic_cast<const cfg_FP64*>(c.as_kind(cfg_FP64::kind))) {
        std::string values, ranges;
        for (int i = 0; i < number->count(); ++i) {
            // Two appends: g++ 12 at -O3 misreads "literal + string" as an overlapping copy.
            values += i ? "," : "";
            values += number_text(number->value(i));
            ranges += format(
                "%s%s..%s step %s", i ? ", " : "", number_text(number->minimum(i)).c_str(),
                number_text(number->maximum(i)).c_str(), number_text(number->step(i)).c_str());
        }
        line += "  = " + values + "  (" + ranges + ")";
    } else if (const auto* menu = dynamic_cast<const cfg_menu*>(c.as_kind(cfg_menu::kind))) {
        std::string items;
        for (int i = 0; i < menu->count(); ++i) {
            items += (i ? " | " : "") + menu->item_name(i);
            // Effect files may label items; --set takes names and labels alike.
            if (menu->label(i) != menu->item_name(i))
                items += " \"" + menu->label(i) + "\"";
        }
        line += "  = " + menu->selected_name() + "  (" + items + ")";
    } else if (const auto* text = dynamic_cast<const cfg_text*>(c.as_kind(cfg_text::kind))) {
        line += "  = \"" + text->text_at(0) + "\"  (text)";
    } else {
        line += "  (" + c.kind_name() + ")";
    }
    return line;
}

outcome assign_setting(std::vector<public_setting>& settings, const std::string& name,
                       const std::string& values) {
    std::string id, config_name = name;
    if (auto colon = name.find(':'); colon != std::string::npos) {
        id = name.substr(0, colon);
        config_name = name.substr(colon + 1);
    }
    std::vector<public_setting*> matches;
    for (auto& s : settings) {
        if (!id.empty() && !same_name(s.owner->desc().id, id))
            continue;
        if (same_name(s.in_network->name(), config_name) ||
            same_name(s.in_network->desc().title, config_name))
            matches.push_back(&s);
    }
    if (matches.empty())
        return outcome::failure(
            format("the effect has no public setting \"%s\" (see --describe)", name.c_str()));
    if (matches.size() > 1)
        return outcome::failure(
            format("\"%s\" names %d settings; write it as ID:NAME (see --describe)", name.c_str(),
                   int(matches.size())));
    config& target = *matches[0]->effective;
    if (auto* number = dynamic_cast<cfg_FP64*>(target.as_kind(cfg_FP64::kind)))
        return assign_numbers(*number, values, name);
    if (auto* menu = dynamic_cast<cfg_menu*>(target.as_kind(cfg_menu::kind)))
        return assign_menu(*menu, values, name);
    if (auto* text = dynamic_cast<cfg_text*>(target.as_kind(cfg_text::kind))) {
        text->set_text_at(values, 0);
        return outcome::success();
    }
    return outcome::failure(format("\"%s\" cannot be set from the command line", name.c_str()));
}

} // namespace zoetra::cli
