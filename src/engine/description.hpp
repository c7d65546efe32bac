#pragma once
#include <cstdint>
#include <string>

namespace zoetra {

// The record of texts that names and labels every engine object and panel.
// Fields left at their defaults can be recognised by comparing with them
// (an unset idref reads "no_idref").
struct description {
    std::string title = "no_title";
    std::string name = "no_name";
    std::string type = "no_type";
    std::string class_name = "no_class";
    std::string idref = "no_idref";
    std::string id = "no_id";
    std::string text = "no_description";
    std::string image_file = "no_image_file";
    std::uint32_t color = 0;
    double version = 1.0;

    bool has_idref() const { return idref != "no_idref"; }
    // Writes the fields (all but the idref) to standard output.
    // The record as the program prints it, one "field:value" line each.
    std::string dump_text() const;
};

} // namespace zoetra
