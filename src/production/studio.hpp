#pragma once
// The production studio: it owns the frame image, the four standing
// components whose settings persist from effect to effect, and the effect
// catalogue; it runs the current effect one step per idle tick, keeps a copy
// of every frame, crops them to their visible pixels, previews them, and
// saves them (or reports the exact size of the file).
#include "app/services/messages.hpp"
#include "components/io/image_source.hpp"
#include "engine/factory.hpp"
#include "production/catalogue.hpp"
#include "raster/frame_image.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zoetra {

// The text that reports the size of the file ("...1.5KB (1536 bytes).").
std::string size_report(std::uint32_t bytes);

// The factory of the program, with every component defined.
component_factory& program_factory();

class studio : public shell {
  public:
    static constexpr int max_frames = 32;
    static constexpr std::uint16_t default_width = 650;
    static constexpr std::uint16_t default_height = 465;
    static constexpr int initial_output_width = 350;
    static constexpr int initial_output_height = 250;

    // Runs the start-up steps: frame image, welcome text and splash, a 350 x
    // 250 output area, the standing components, the catalogue, effect 0.
    explicit studio(std::uint16_t width = default_width, std::uint16_t height = default_height);
    ~studio() override;
    studio(const studio&) = delete;
    studio& operator=(const studio&) = delete;

    // Events, in window coordinates.
    void idle(int x, int y);
    void mouse_down(int x, int y, int button);
    void mouse_up(int x, int y, int button);
    void key(int ch, int x, int y);
    void command(const std::string& category, const std::string& name);

    // Frame construction.
    bool can_create() const;
    bool start_construction();
    void cancel_construction();
    bool busy() const { return busy_; }
    int stored_frames() const { return static_cast<int>(frames_.size()); }
    buffer& stored_frame(int i) const { return *frames_[i].image; }
    rect frame_box(int i) const { return frames_[i].box; }
    // FRAMES.CONTROL of the standing frame clock.
    int frame_count() const;

    // Save and size.
    bool save();
    std::uint32_t size();
    void show_size();
    bool saved() const { return saved_; }

    // The catalogue.
    effect_catalogue& catalogue() { return catalogue_; }
    int current_effect_index() const { return current_; }
    script* current_effect() const;
    void select_effect(int index);

    component& standing(std::string_view name) const;
    io::GIFIN& image_source() const { return *gifin_; }
    frame_image& image() { return frame_; }
    const std::string& status_text() const { return status_; }
    bool settings_changed_flag() const { return settings_changed_; }

    // The shell services that draw into the frame image.
    void show_status(const std::string& text) override;
    void present_area(const rect& area) override;
    void settings_changed() override { settings_changed_ = true; }

    // The construction screen's frame slots and cancel button.
    static rect frame_slot(int k);
    static constexpr rect cancel_button{450, 0, 124, 16};

  private:
    struct stored {
        std::unique_ptr<buffer> image;
        rect box;
    };

    void draw_splash();
    void draw_work_area();
    void draw_construction_screen();
    void draw_cancel_button();
    bool start_script();
    void attach_hooks(script& s);
    void run_begins();
    void show_progress(int fired, int count);
    void frame_done();
    void capture_frame();
    void complete_construction();
    void autocrop();
    void preview_step(int x, int y);
    std::vector<buffer*> frames_to_write();
    std::uint16_t loop_count() const;
    std::uint16_t delay() const;

    frame_image frame_;
    std::string status_;
    bool ready_ = false;
    bool busy_ = false;
    bool settings_changed_ = false;
    bool mouse_held_ = false;
    bool cancel_pressed_ = false;
    bool saved_ = false;
    bool size_known_ = false;
    std::uint32_t size_ = 0;
    std::vector<stored> frames_;
    int frame_counter_ = 0;
    int last_x_ = -1;
    int last_y_ = -1;
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
