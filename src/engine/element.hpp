#pragma once
// The effect-file markup: start tags with attributes, end tags, text and
// comments, read into a tree of elements.
#include "base/outcome.hpp"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zoetra {

// What an attribute look-up gives when the attribute is absent. Every reader
// treats an attribute as present exactly when its value differs from this.
inline constexpr const char* no_such_element = "Exception: NoSuchElement";

struct element {
    std::string tag;
    bool end = false;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<std::unique_ptr<element>> children;

    // Exact (case-sensitive) look-up; no_such_element when absent.
    const std::string& attribute(std::string_view name) const;
    // Stores a value, replacing an attribute of the same name.
    void set_attribute(std::string name, std::string value);
    static bool present(const std::string& value) { return value != no_such_element; }
    // Copies the attribute into field when it is present; a missing
    // attribute leaves the field as it was.
    void take_attribute(std::string_view name, std::string& field) const {
        const std::string& value = attribute(name);
        if (present(value))
            field = value;
    }
};

// ">" always ends a tag, so texts and values that need it (a menu item such
// as "HSV->RGB") write "&gt;"; "&lt;" and "&amp;" stand for "<" and "&".
std::string decode_character_references(std::string_view text);

// Effect files deeper than this are refused rather than read without bound.
inline constexpr int max_element_depth = 64;

// The root of a tree read from an effect file, or why the file was refused.
using element_tree = result<std::unique_ptr<element>>;

// Reads a whole tree. The file is refused when it does not start with "<",
// ends while an element is still open, or nests deeper than max_element_depth.
element_tree read_element_tree(std::FILE* stream);
element_tree read_element_tree(std::string_view text);

} // namespace zoetra
