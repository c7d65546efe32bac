#pragma once
// The GIF palette setting: the ordered list of still pictures (GIF, PNG and
// JPEG files) from which an animation is made, and the selected position in it. Position count (one
// past the last image) is the empty slot where an insert appends.
#include "base/outcome.hpp"
#include "engine/config.hpp"
#include "resources/resource.hpp"

#include <array>
#include <string>
#include <vector>

namespace zoetra {

inline constexpr const char* palette_full_message =
    "The gif palette can contain a maximum of 32 gifs.  To add another gif you must first remove "
    "one from the palette.";

class cfg_image_in : public config {
  public:
    static constexpr const char* kind = "cfg_image_in";
    static constexpr int max_images = 32;
    static constexpr std::size_t max_name = 127;

    cfg_image_in(component* owner, std::string name, bool shown, double version,
                 const std::vector<std::string>& initial_names = {});

    // Inserts a readable picture at position (at most the count: a larger
    // position appends). A full palette, a path longer than max_name and a
    // file that is no readable GIF, PNG or JPEG are refused with a message
    // that names the file and says why, and leave the palette as it was. An
    // empty name (a cancelled dialog) and a position above 64 add nothing and
    // are no failure.
    outcome add_image(const std::string& name, int position);
    void remove_image(int position);

    int count() const { return static_cast<int>(names_.size()); }
    int selected() const { return selected_; }
    // A position from 0 to the count (the empty slot).
    void set_selected(int position);
    // The name at i, or the empty string when i is at or past the count.
    const std::string& name_at(int i) const;

    // The size of image i as effects see it (fitted to the frame inside a
    // program), from its header; (0, 0) past the count or for an unreadable file.
    gif_size size_at(int i) const;
    // Its own size, as the file has it, before any fitting; (0, 0) as above.
    gif_size own_size_at(int i) const;
    // The largest width and height over all images, each taken separately.
    gif_size largest_size() const;
    // The selected image's size; (0, 0) on the empty slot or for an unreadable file.
    gif_size selected_size() const;

    // Equal when count and selection are; copying takes the names too, so a
    // network's palette is the one the user edited.
    bool equals(const config& other) const override;
    void copy_from(const config& other) override;

    // The file a name stands for: inside a program, a relative name is taken
    // from its data folder; elsewhere, as it is.
    std::string path_of(const std::string& name) const;

  protected:
    const char* setting_tag() const override { return "imageinput"; }
    void read_value(int k, const element& value) override;

  private:
    // Drops what the program made from the picture when it was fitted.
    void forget_fitted(const std::string& name) const;

    std::vector<std::string> names_;
    int selected_ = 0;
};

} // namespace zoetra
