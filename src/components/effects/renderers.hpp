#pragma once
// The five point renderers. They differ only in the mark a point makes.
// Marks measured in pixels (shapes, fiber segments, cloud drops and their
// scatter) are pixels of the 350 x 250 frame: "shape", "fiber" and "cloud"
// multiply them by their hidden "SCALE" setting, bound to GIFIN's mark
// scale (in a larger frame, how many times farther apart the points lie than
// at 350 x 250), so that the marks cover as much of the frame and keep its
// tone.
#include "components/effects/point_renderer.hpp"

#include <optional>
#include <vector>

namespace zoetra::effects {

// One pixel per point ("NORMAL"), or, in "INDEX" mode, element (c, r) drawn
// at (c, r) of the output area whatever the positions say.
class dot_renderer : public point_renderer {
  public:
    dot_renderer();

  protected:
    void prepare_member() override;
    bool draw_without_points(buffer& image, const point_planes& p, const drawing_area& a) override;
    bool draw_records(const pixel_canvas& image, const point_planes& p,
                      const drawing_area& a) override {
        return draw_plain_records(image, p, a);
    }
    void mark(const pixel_canvas& image, const point_record& record) const override;

  private:
    cfg_menu& mode_setting_;
    int mode_ = 0; // 0 "NORMAL", 1 "INDEX"
};

// A filled circle or square whose size grows with the "SSIZE" plane:
// "ss.min" + "SSIZE" x "ss.range" / 255 pixels, truncated and kept in 8 bits.
// At another "SCALE" the size times the scale, truncated, at least 1 where
// the unscaled size is and at most 255.
class shape_renderer : public point_renderer {
  public:
    shape_renderer();

  protected:
    void prepare_member() override;
    drawing_area area_at_fire() const override { return area_; }
    void take_member_planes(point_planes& p) override;
    void fill_record(const point_planes& p, const drawing_area& a, int c, int r,
                     point_record& record) const override;
    void mark(const pixel_canvas& image, const point_record& record) const override;

  private:
    cfg_FP64& value_size_;
    cfg_menu& type_size_;
    cfg_menu& shape_;
    cfg_FP64& smallest_setting_;
    cfg_FP64& range_setting_;
    cfg_FP64& scale_setting_;
    port* size_port_ = nullptr;
    int smallest_ = 1;
    int range_ = 0;
    double frame_scale_ = 1;
    bool circle_ = true;
    drawing_area area_;
};

// A short jagged stroke of "LENGTH" segments of about five pixels each (times
// "SCALE"), in the direction "ANGLE" give or take 22.5 degrees per segment.
class fiber_renderer : public point_renderer {
  public:
    fiber_renderer();

  protected:
    void prepare_member() override;
    drawing_area area_at_fire() const override { return area_; }
    bool draw_records(const pixel_canvas& image, const point_planes& p,
                      const drawing_area& a) override {
        return draw_plain_records(image, p, a);
    }
    void mark(const pixel_canvas& image, const point_record& record) const override;

  private:
    cfg_FP64& angle_setting_;
    cfg_FP64& length_setting_;
    cfg_FP64& scale_setting_;
    double angle_ = 0;
    int length_ = 0;
    double segment_ = 5; // pixels
    drawing_area area_;
};

// A filled quadrilateral per cell of four neighbouring points.
class surface_renderer : public point_renderer {
  public:
    surface_renderer();

  protected:
    void prepare_member() override;
    int columns() const override { return width_ - 1; }
    int rows() const override { return height_ - 1; }
    void begin_row(const point_planes& p, const drawing_area& a, int r) override;
    void fill_record(const point_planes& p, const drawing_area& a, int c, int r,
                     point_record& record) const override;
    bool draw_records(const pixel_canvas& image, const point_planes& p,
                      const drawing_area& a) override;
    void mark(const pixel_canvas& image, const point_record& record) const override;

  public:
    void reset() override;

  private:
    // A cell in 16 bytes: its first corner, the other three as differences
    // from it, its colour and its key; a cell whose differences do not fit
    // keeps its corners in far_corners_ (from 8 x the index in x and y).
    struct cell_record {
        std::int16_t x, y;
        std::int8_t dx[3], dy[3];
        std::uint8_t red, green, blue;
        std::uint8_t far;
        std::uint16_t key;
    };
    static_assert(sizeof(cell_record) == 16);
    // The cells in visiting order, then in depth order; the cells after
    // the first pass of the depth order.
    heap_ptr<cell_record> cells_;
    heap_ptr<cell_record> passing_cells_;
    std::size_t cell_capacity_ = 0;
    std::vector<std::int16_t> far_corners_;

    // The screen positions of the points of rows r and r + 1 (x and y
    // interleaved), each worked out once although four cells share it.
    void place_row(const point_planes& p, const drawing_area& a, int r, std::uint16_t* out) const;
    std::vector<std::uint16_t> upper_row_;
    std::vector<std::uint16_t> lower_row_;
    int placed_row_ = -1;
    // The screen coordinate of every position, along x and along y.
    std::vector<std::uint16_t> screen_x_;
    std::vector<std::uint16_t> screen_y_;
};

// "DENSITY" small filled circles of "SIZE.SHAPE" scattered at random within
// "RADIUS" of the point, both times "SCALE" (a drop keeps at least a pixel).
class cloud_renderer : public point_renderer {
  public:
    cloud_renderer();

  protected:
    void prepare_member() override;
    drawing_area area_at_fire() const override { return area_; }
    bool draw_records(const pixel_canvas& image, const point_planes& p,
                      const drawing_area& a) override {
        return draw_plain_records(image, p, a);
    }
    void mark(const pixel_canvas& image, const point_record& record) const override;

  private:
    cfg_FP64& radius_setting_;
    cfg_FP64& drop_setting_;
    cfg_FP64& density_setting_;
    cfg_FP64& scale_setting_;
    double radius_ = 0;
    int density_ = 0;
    int drop_ = 0;
    drawing_area area_;
    // The rows of a drop, for drops of two pixels or more.
    std::optional<circle_rows> drop_rows_;
};

} // namespace zoetra::effects
