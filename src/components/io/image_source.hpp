#pragma once
#include "components/io/image_palette.hpp"
#include "engine/component.hpp"
#include "engine/text_settings.hpp"
#include "raster/buffer.hpp"

#include <array>
#include <string>

namespace zoetra::io {

// Five new W x H "UINT8" matrices of two dimensions: red, green, blue, grey,
// alpha. The buffer must be locked.
enum plane_index { red_plane, green_plane, blue_plane, grey_plane, alpha_plane };
std::array<matrix_ptr, 5> split_into_planes(const buffer& b);

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
    outcome preprepare() override;
    outcome fire() override;

    cfg_image_in& palette() const { return palette_; }
    // "MODE.SIZE": how large the effect's working size is (SOURCE to FULL).
    cfg_menu& size_mode() const { return mode_size_; }
    // "SIZE": the selected picture's size; "SIZE.EFFECT": the effect's working size.
    cfg_FP64& picture_size() const { return size_; }
    cfg_FP64& effect_size() const { return size_effect_; }
    // "SCALE.PICTURE": the picture's scale, how many times larger the
    // selected picture's planes are than at the 350 x 250 frame (1 in text
    // mode). "SCALE": the mark scale, the frame's scale (min(W / 350,
    // H / 250) of the canvas's output area, 1 without one) over the
    // picture's scale where that is above 1. Both are 1 at that frame; see
    // basic::mark_scale.
    cfg_FP64& scale() const { return scale_; }
    cfg_FP64& picture_scale() const { return picture_scale_; }

  private:
    gif_size text_size() const;
    void publish_selected_size(gif_size selected);
    void publish_effect_size(gif_size selected, int work_width, int work_height);
    void publish_scales(const output_canvas* target);
    int chosen_index();
    void draw_into_output_area(const std::string& name);
    outcome hand_on_planes(const std::string& name);
    std::array<matrix_ptr, 5> draw_planes(const std::string& name, int width, int height) const;
    void keep_copies(const std::string& name, int width, int height,
                     const std::array<matrix_ptr, 5>& planes);
    // The size of a palette picture from its header, or (0, 0).
    gif_size probe(const std::string& name) const;

    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_FP64& size_max_;
    cfg_FP64& size_maxpect_;
    cfg_FP64& size_rotate_;
    cfg_FP64& size_effect_;
    cfg_menu& type_;
    cfg_FP64& control_value_;
    cfg_FP64& control_size_;
    cfg_menu& control_type_;
    cfg_text& text_;
    cfg_image_in& palette_;
    cfg_FP64& frames_;
    cfg_FP64& transitions_;
    cfg_menu& mode_;
    cfg_menu& mode_size_;
    cfg_FP64& value_space_;
    cfg_menu& mode_input_;
    cfg_FP64& scale_;
    cfg_FP64& picture_scale_;
    std::array<port*, 5> planes_{};
    port* control_ = nullptr;

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

// Prints every matrix that arrives at its input to the diagnostic output.
class TEXT : public component {
  public:
    TEXT();
    outcome fire() override;

  private:
    port* in_ = nullptr;
};

// The output end of every network: it carries the animation settings (frame
// delay, loop count, frame count, output file name) and moves no pixels.
class GIFOUT : public component {
  public:
    GIFOUT();
    outcome fire() override { return finish_fire(); }

    // "DELAY" in seconds, "LOOP" (0: for ever), "FRAMES".
    cfg_FP64& delay() const { return delay_; }
    cfg_FP64& loop() const { return loop_; }
    cfg_FP64& frames() const { return frames_; }

  private:
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    cfg_image_out& file_;
    cfg_FP64& delay_;
    cfg_FP64& frames_;
    cfg_FP64& loop_;
};

} // namespace zoetra::io
