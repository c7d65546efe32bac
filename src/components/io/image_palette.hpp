#pragma once
// The GIF palette setting: the ordered list of still pictures (GIF, PNG and
// JPEG files) from which an animation is made, and the selected position in it. Position count (one
// past the last image) is the empty slot where an insert appends.
//
// An entry may also be every frame of an animated GIF: its name is then the
// file's name marked by animated_name (see palette_pictures.hpp), and the
// palette keeps the frames' delays, as read and sampled to at most 32
// frames, beside it. name_at gives the marked name; the sizes are the GIF's.
#include "base/outcome.hpp"
#include "engine/config.hpp"
#include "resources/resource.hpp"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
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
    // An animated entry's frames are sampled evenly down to this many.
    static constexpr int max_animation_frames = 32;

    cfg_image_in(component* owner, std::string name, bool shown, double version,
                 const std::vector<std::string>& initial_names = {});

    // Inserts a readable picture at position (at most the count: a larger
    // position appends). A full palette, a path longer than max_name and a
    // file that is no readable GIF, PNG or JPEG are refused with a message
    // that names the file and says why, and leave the palette as it was. An
    // empty name (a cancelled dialog) and a position above 64 add nothing and
    // are no failure.
    outcome add_image(const std::string& name, int position);
    // Inserts every frame of an animated GIF as one entry, with the same
    // refusals, and more: a file that is not a GIF, or holds one frame.
    outcome add_animation(const std::string& name, int position);
    void remove_image(int position);

    int count() const { return static_cast<int>(names_.size()); }
    int selected() const { return selected_; }
    // A position from 0 to the count (the empty slot).
    void set_selected(int position);
    // The name at i, or the empty string when i is at or past the count.
    const std::string& name_at(int i) const;
    // Whether entry i is every frame of an animation.
    bool animated_at(int i) const;
    // The frames entry i gives: 1 for a still picture, the animation's
    // frames (at most 32) for an animated one, 0 past the count.
    int frames_at(int i) const;
    // The delays of an animated entry's frames in hundredths, as the file
    // has them (sampled frames carry the delays of those left out); empty
    // for a still picture.
    std::vector<std::uint16_t> delays_at(int i) const;
    // Why an animated entry's frames are fewer or merged, as the reader
    // said when it was added; "" when they are all there.
    std::string warning_at(int i) const;

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
    // The checks every insertion makes before reading the file: none when
    // it may go on, or what it ends with (a success that adds nothing: a
    // cancelled dialog, a position far past the end).
    std::optional<outcome> before_insertion(const std::string& name, int position) const;
    // Drops what the program made from the picture when it was fitted.
    void forget_fitted(const std::string& name) const;

    struct animation_facts {
        std::vector<std::uint16_t> delays;
        std::string warning;
        bool operator==(const animation_facts&) const = default;
    };
    // Inserts a checked name (marked or not) at position.
    void insert_name(const std::string& name, int position);
    const animation_facts* facts_at(int i) const;

    std::vector<std::string> names_;
    // What the animated entries' files held, by marked name.
    std::map<std::string, animation_facts> animations_;
    int selected_ = 0;
};

} // namespace zoetra
