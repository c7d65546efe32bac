#pragma once
#include "engine/component.hpp"
#include "components/io/image_palette.hpp"
#include "engine/text_settings.hpp"

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

    cfg_image_in& palette_;
    bool text_mode_ = false;
    int image_count_ = 0;
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
