#pragma once
// The production studio: it owns the program's context, the canvas the
// effects draw on, the four standing components whose settings persist from
// effect to effect, and the effect catalogue; it runs the current effect one
// step at a time, keeps a copy of every frame, crops them to their visible
// pixels, previews them on its canvas, and saves them (or reports the exact
// size of the file).
//
// It draws only what makes the saved bytes and the preview, on its own
// canvas: the canvas is cleared at each run, frames are captured from it,
// and the preview copies frames back into it. It knows nothing of a window:
// whoever shows the studio (the window) places the canvas in its work area
// and draws everything else (status line, splash, construction screen) from
// what the studio tells its listener.
#include "base/outcome.hpp"
#include "base/sliced_task.hpp"
#include "components/basic/frame_clock.hpp"
#include "components/io/image_source.hpp"
#include "engine/context.hpp"
#include "engine/factory.hpp"
#include "gif/encoder.hpp"
#include "production/catalogue.hpp"
#include "production/fit.hpp"
#include "production/frame_captions.hpp"
#include "production/frame_size.hpp"
#include "raster/output_canvas.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zoetra {

// The text that reports the size of the file ("...1.5KB (1536 bytes).").
std::string size_report(std::uint32_t bytes);

// The delays of an animation's frames for count frames made from them,
// frame k showing input frame floor(k * M / count) of the M: a frame
// standing for several input frames takes their delays summed, frames
// showing the same input frame share its delay. The total stays the same.
std::vector<std::uint16_t> resample_delays(const std::vector<std::uint16_t>& source, int count);

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
    // The canvas shows something new: a frame just made, or a preview frame.
    virtual void canvas_changed() {}
    // The canvas's output area moved or changed size.
    virtual void output_area_changed() {}
};

class studio {
  public:
    static constexpr int max_frames = 32;
    static constexpr int initial_output_width = 350;
    static constexpr int initial_output_height = 250;
    // What every run starts from: the interface's middle colour, painted.
    static constexpr colour run_background{0, 0, 128, 128};

    // A studio working in the data folder (the folder of "Effects" and
    // "Resources"), with its diagnostics going to sink: its context, a canvas
    // in the standard work area with a 350 x 250 output area, and the
    // standing components. The catalogue comes with load_effects.
    explicit studio(std::filesystem::path data_folder = ".",
                    diagnostics& sink = standard_streams());
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

    // The frame size. Without a choice each effect makes its own frame (350 x
    // 250 for the bundled ones) and the frames are cropped to what they show;
    // a chosen size is the frame and the file's size, the picture fitted
    // inside. Pictures larger than the frame are reduced to fit it before
    // the effect sees them; smaller ones are enlarged only when asked.
    // A change after frames were made marks them to be created again.
    void set_size_choice(const size_choice& choice);
    const size_choice& chosen_size() const { return size_choice_; }
    void set_enlarge(bool on);
    // The frames were made at another frame size than the one now chosen.
    bool frames_outdated() const { return frames_outdated_; }
    bool enlarges() const { return enlarge_; }
    // The frame the next construction makes: the choice resolved for the
    // selected picture, or the effects' own frame.
    gif_size frame_size() const;

    // The exact size of the file the frames made would give, measured in the
    // background: after each construction, and again after each change of
    // what the file holds (the colours, the loop count, the frame count),
    // a slice at a time so that the window stays free for input. Each call
    // runs one slice; the size when it is known.
    std::optional<std::uint32_t> measure_size_step(std::chrono::steady_clock::duration budget);
    std::optional<std::uint32_t> known_size() const;
    // Whether measuring has something to do.
    bool size_wanted() const { return has_frames() && !busy_ && !size_known_; }

    // Fitting under a size limit, in the background like the size, with the
    // frames made and the coding candidates: the best one under the limit
    // becomes the coding Save uses. New frames are fitted again. A limit of
    // 0 ends fitting, and the coding chosen before comes back.
    void set_fit_limit(std::uint32_t limit);
    std::uint32_t fit_limit() const { return fit_limit_; }
    bool fit_wanted() const { return fit_limit_ > 0 && !fit_done_ && has_frames() && !busy_; }
    // Runs one slice of the search; true when it has ended (see fit_result).
    bool fit_step(std::chrono::steady_clock::duration budget);
    // What the last search found; none while searching or without a limit.
    const std::optional<fit_outcome>& fit_result() const { return fit_result_; }
    // The search's progress line, for the status line.
    const std::string& fit_progress() const { return fit_progress_; }

    // Captions: words over every frame, at the top and at the bottom ("" for
    // none), drawn after the effect and the cropping. New words replace the
    // old on the frames made; words that do not fit the frame are refused
    // with the reason, and the frames then show none.
    outcome set_captions(std::string top, std::string bottom);
    const frame_captions& captions() const { return captions_; }
    // Why the captions are not on the frames made ("" when they are, or
    // when there are none).
    const std::string& caption_failure() const { return caption_failure_; }

    // Holds: the first frame, and the last (with the direction forward and
    // back or back and forth, the frame where the animation turns), shown
    // for this many seconds instead of the delay; 0 for no hold. Kept to 0
    // to 60 seconds.
    void set_holds(double first_seconds, double last_seconds);
    double hold_first() const { return hold_first_; }
    double hold_last() const { return hold_last_; }
    // Every frame's delay in hundredths, as the file stores them: DELAY, or
    // when the picture the frames were made from is animated (and source
    // delays are on) its own delays resampled to the frames made; the holds
    // on top of either.
    std::vector<std::uint16_t> frame_delays() const;
    // Whether an animated picture's own delays time the frames made from it
    // (the start); off, DELAY does, as for still pictures.
    void set_source_delays(bool on);
    bool source_delays() const { return source_delays_on_; }

    // Save and size.
    bool has_frames() const { return !frames_.empty(); }
    // The loop count and the delay in hundredths, as the file stores them.
    std::uint16_t loop_count() const;
    std::uint16_t delay() const;
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

    // A standing component by the name effect files give it ("GIFIN",
    // "GIFOUT", "CPU", "CUBE"; anything else is the frame clock).
    component& standing(std::string_view name) const;
    io::GIFIN& image_source() const { return *gifin_; }
    basic::CPU& frame_clock() const { return *cpu_; }
    io::GIFOUT& animation_settings() const { return *gifout_; }
    component& camera() const { return *cube_; }
    output_canvas& canvas() { return canvas_; }
    const output_canvas& canvas() const { return canvas_; }
    context& program() { return program_; }
    const std::string& status_text() const { return status_; }

    // Whether a setting changed since construction began: a running network
    // then starts again at its next step.
    bool settings_changed_flag() const { return settings_changed_; }

  private:
    struct stored {
        std::unique_ptr<buffer> image;
        rect box;
    };

    void report(const std::string& text);
    // Notes a setting change, unless the studio itself is writing settings.
    void setting_changed();
    // Every config of the component tells setting_changed of its changes.
    void observe(component& c);
    outcome start_script();
    void attach_hooks(script& s);
    void run_begins();
    void frame_done();
    void capture_frame();
    void complete_construction();
    void autocrop();
    void copy_to_output_area(int i);
    std::vector<buffer*> frames_to_write();
    // Every frame made, captioned or not.
    std::vector<buffer*> all_frames() const;
    // The options the writer takes: the person's (or the fit's), with the
    // captions' colours kept exact.
    gif_encode_options options_to_write(gif_encode_options options) const;
    void draw_captions();
    // How long frame i is shown, in seconds.
    double shown_for(int i) const;
    // The frame where the animation turns and the last hold goes.
    int turning_frame(int count) const;
    // Sets the canvas's work and output areas and the pictures' frame for a
    // new construction.
    void fix_the_frame();
    // The frames of the selected palette entry when it is animated, else 0.
    int selected_animation_frames() const;
    // A newly selected animated entry sets the frame count to its own.
    void follow_selected_animation();

    context program_;
    output_canvas canvas_;
    // What the standing components reach: the program, and no canvas.
    run_context standing_context_;
    studio_listener* listener_;
    std::string status_;
    bool busy_ = false;
    bool settings_changed_ = false;
    // The studio's own copying of settings in and out of a network is no change.
    bool writing_settings_ = false;
    bool saved_ = false;
    bool size_known_ = false;
    std::uint32_t size_ = 0;
    // The background measuring under way, and what it found.
    std::unique_ptr<sliced_task> measuring_;
    std::uint32_t measured_ = 0;
    // What the file holds changes: measuring under way ends first (it reads
    // the frames), and the size is unknown.
    void forget_size();
    // The search under way, its limit and result, and the coding the person
    // chose before a fit replaced it.
    std::unique_ptr<sliced_task> fitting_;
    std::uint32_t fit_limit_ = 0;
    bool fit_done_ = false;
    std::optional<fit_outcome> fit_result_;
    std::optional<fit_outcome> fit_found_;
    std::string fit_progress_;
    gif_encode_options chosen_options_;
    void forget_fit();
    gif_encode_options encode_options_;
    size_choice size_choice_;
    bool enlarge_ = false;
    bool frames_outdated_ = false;
    std::vector<stored> frames_;
    frame_captions captions_;
    std::string caption_failure_;
    double hold_first_ = 0;
    double hold_last_ = 0;
    bool source_delays_on_ = true;
    // The delays of the animated picture the frames were made from; empty
    // for a still one.
    std::vector<std::uint16_t> source_delays_;
    std::string followed_entry_;
    int frame_counter_ = 0;
    bool preview_started_ = false;
    double preview_time_ = 0;

    std::unique_ptr<io::GIFIN> gifin_;
    std::unique_ptr<io::GIFOUT> gifout_;
    std::unique_ptr<basic::CPU> cpu_;
    std::unique_ptr<component> cube_;
    std::vector<config::observation> observations_;
    effect_catalogue catalogue_;
    int current_ = -1;
    // The effect being made into frames; choosing another effect meanwhile
    // does not change it.
    script* running_ = nullptr;
};

} // namespace zoetra
