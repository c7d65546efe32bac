#pragma once
// The production studio: it owns the frame image, the four standing
// components whose settings persist from effect to effect, and the effect
// catalogue; it runs the current effect one step at a time, keeps a copy of
// every frame, crops them to their visible pixels, previews them, and saves
// them (or reports the exact size of the file).
//
// It draws only what makes the saved bytes and the preview: the output area
// is cleared at each run, frames are captured from it, and the preview copies
// frames back into it. Everything else of the window (status line, splash,
// construction screen) is drawn by whoever shows the studio, from what the
// studio tells its listener.
#include "app/services/outcome.hpp"
#include "components/io/image_source.hpp"
#include "engine/factory.hpp"
#include "gif/encoder.hpp"
#include "production/catalogue.hpp"
#include "raster/frame_image.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zoetra {

// The text that reports the size of the file ("...1.5KB (1536 bytes).").
std::string size_report(std::uint32_t bytes);

// The factory of the program, with every component defined.
component_factory& program_factory();

// What the studio reports while it works. Every operation has a default that
// does nothing.
class studio_listener {
  public:
    virtual ~studio_listener() = default;
    // A progress or result line for the status line.
    virtual void status(const std::string&) {}
    // An effect file that could not be loaded, with the reason.
    virtual void effect_left_out(const std::string&) {}
    // Frame construction began (the active panel steps aside) and ended,
    // completed or cancelled (it comes back).
    virtual void construction_started() {}
    virtual void construction_ended() {}
    // While the network runs for frame slot k: fired of count components fired.
    virtual void run_progress(int, int, int) {}
    // Frame k was captured.
    virtual void frame_captured(int, buffer&) {}
};

class studio {
  public:
    static constexpr int max_frames = 32;
    static constexpr std::uint16_t default_width = 650;
    static constexpr std::uint16_t default_height = 465;
    static constexpr int initial_output_width = 350;
    static constexpr int initial_output_height = 250;

    // The frame image (filled with ui_mid), a 350 x 250 output area and the
    // standing components. The catalogue comes with load_effects.
    explicit studio(std::uint16_t width = default_width, std::uint16_t height = default_height);
    ~studio();
    studio(const studio&) = delete;
    studio& operator=(const studio&) = delete;

    // Not owned; nullptr: nobody listens.
    void set_listener(studio_listener* listener);

    // Loads every effect file and selects effect 0. Finding none is a
    // failure with the message that the program ends with.
    outcome load_effects();

    // Frame construction.
    bool can_create() const;
    // Starts the current effect's network; a network that fails to start
    // gives "Script failed to startup because ...".
    outcome start_construction();
    // One step of construction: one component fired, or the network started
    // again when settings changed. A failure cancels construction.
    outcome step();
    void cancel_construction();
    bool busy() const { return busy_; }
    int stored_frames() const { return static_cast<int>(frames_.size()); }
    buffer& stored_frame(int i) const { return *frames_[i].image; }
    rect frame_box(int i) const { return frames_[i].box; }
    // FRAMES.CONTROL of the standing frame clock.
    int frame_count() const;
    // The frame slot of the network run in progress.
    int frame_counter() const { return frame_counter_; }

    // The preview: when more than DELAY seconds have passed since the last
    // frame was shown (the first call only notes the time), the next frame
    // is copied into the output area. True when a frame was shown.
    bool preview_step(double now);
    // When the preview's next frame is due; none while there is nothing to play.
    std::optional<double> next_preview_time() const;
    // Copies the frame the preview stands at into the output area (a redrawn
    // work area shows the animation at once, not after the delay).
    void show_preview_frame();

    // Save and size.
    bool has_frames() const { return !frames_.empty(); }
    outcome save(const std::string& file_name);
    result<std::uint32_t> size();
    bool saved() const { return saved_; }
    // How save writes the file, and so the size it reports: the standard
    // colours with whole frames unless changed (see gif_encode_options).
    void set_encode_options(const gif_encode_options& options);
    const gif_encode_options& encode_options() const { return encode_options_; }
    // The File menu's Fine Colours: fine colours on or off, the rest kept.
    void set_fine_colours(bool on);
    bool fine_colours() const { return encode_options_.colours == colour_mode::fine; }

    // The catalogue.
    effect_catalogue& catalogue() { return catalogue_; }
    const effect_catalogue& catalogue() const { return catalogue_; }
    int current_effect_index() const { return current_; }
    script* current_effect() const;
    void select_effect(int index);

    component& standing(std::string_view name) const;
    io::GIFIN& image_source() const { return *gifin_; }
    frame_image& image() { return frame_; }
    const std::string& status_text() const { return status_; }

    // The settings-changed flag: a running network starts again when it is set.
    void mark_settings_changed() { settings_changed_ = true; }
    void clear_settings_changed() { settings_changed_ = false; }
    bool settings_changed_flag() const { return settings_changed_; }

  private:
    struct stored {
        std::unique_ptr<buffer> image;
        rect box;
    };

    void report(const std::string& text);
    outcome start_script();
    void attach_hooks(script& s);
    void run_begins();
    void frame_done();
    void capture_frame();
    void complete_construction();
    void autocrop();
    void copy_to_output_area(int i);
    std::vector<buffer*> frames_to_write();
    std::uint16_t loop_count() const;
    std::uint16_t delay() const;

    frame_image frame_;
    studio_listener* listener_;
    std::string status_;
    bool busy_ = false;
    bool settings_changed_ = false;
    bool saved_ = false;
    bool size_known_ = false;
    std::uint32_t size_ = 0;
    gif_encode_options encode_options_;
    std::vector<stored> frames_;
    int frame_counter_ = 0;
    bool preview_started_ = false;
    double preview_time_ = 0;

    std::unique_ptr<io::GIFIN> gifin_;
    std::unique_ptr<component> gifout_;
    std::unique_ptr<component> cpu_;
    std::unique_ptr<component> cube_;
    effect_catalogue catalogue_;
    int current_ = -1;
    // The effect being made into frames; choosing another effect meanwhile
    // does not change it.
    script* running_ = nullptr;
};

} // namespace zoetra
