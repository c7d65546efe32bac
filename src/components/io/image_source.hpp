#pragma once
#include "components/io/image_palette.hpp"
#include "engine/component.hpp"
#include "engine/text_settings.hpp"

#include <array>
#include <string>

namespace zoetra::io {

// The component through which a network receives its picture: the selected
// palette image, centred in a frame of the size the effect asks for, handed
// on as red, green, blue, grey and alpha planes, or drawn straight into the
// output area when none of those planes is connected. Before each run it
// publishes the sizes and counts that other components need.
class GIFIN : public component {
  public:
    // The text that text mode starts with.
    static constexpr const char* sample_text = "samples/logo.gif";

    GIFIN();
    ~GIFIN() override;
    GIFIN(const GIFIN&) = delete;
    GIFIN& operator=(const GIFIN&) = delete;
    bool preprepare(std::string& error) override;
    bool fire(std::string& error) override;

    cfg_image_in& palette() const { return palette_; }

  private:
    gif_size text_size() const;
    void publish_selected_size(gif_size selected);
    void publish_effect_size(gif_size selected, int work_width, int work_height);
    int chosen_index();
    void draw_into_output_area(const std::string& name);
    bool hand_on_planes(const std::string& name, std::string& error);
    std::array<matrix_ptr, 5> draw_planes(const std::string& name, int width, int height) const;
    void keep_copies(const std::string& name, int width, int height,
                     const std::array<matrix_ptr, 5>& planes);

    cfg_image_in& palette_;
    bool text_mode_ = false;
    int image_count_ = 0;

    // Copies of the planes last handed on: the next frame of a run nearly
    // always asks for the same picture, and copying its planes costs far
    // less than drawing and splitting it again (the networks downstream may
    // change the planes they receive, so they always get copies). Forgotten
    // at every run and whenever memory runs short.
    struct kept_planes {
        std::string name;
        int width = 0;
        int height = 0;
        std::array<matrix_ptr, 5> planes;
    };
    kept_planes kept_;
    int memory_source_ = 0;
};

// Prints every matrix that arrives at its input on standard output.
class TEXT : public component {
  public:
    TEXT();
    bool fire(std::string& error) override;
};

// The output end of every network: it carries the animation settings (frame
// delay, loop count, frame count, output file name) and moves no pixels.
class GIFOUT : public component {
  public:
    GIFOUT();
    bool fire(std::string& error) override { return finish_fire(error, true); }
};

} // namespace zoetra::io
