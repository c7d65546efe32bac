#include "components/effects/renderers.hpp"

#include "base/utility.hpp"
#include "components/basic/common.hpp"
#include "engine/numeric.hpp"
#include "raster/draw.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace zoetra::effects {
namespace {

constexpr double radians_per_degree = 0.017453292519943295;
constexpr double quarter_turn_half = 0.39269908169872414; // pi / 8
constexpr double eighth_turn = 0.7853981633974483;        // pi / 4
constexpr double full_turn = 6.283185307179586;           // 2 pi

std::size_t point_count(int width, int height) {
    return std::size_t(std::max(0, width)) * std::size_t(std::max(0, height));
}

// A shown setting with a title.
template <class Setting> Setting& titled(Setting& setting, const char* title) {
    setting.desc().title = title;
    return setting;
}

// A filled circle of the given diameter with its bounding square's top-left
// corner at (x, y); a diameter of 1 is one pixel, kept inside the image.
void filled_circle(buffer& image, std::int64_t x, std::int64_t y, int diameter, colour k) {
    if (diameter <= 0)
        return;
    if (diameter == 1) {
        if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
            put_pixel(image, std::int16_t(x), std::int16_t(y), k);
        return;
    }
    draw_circle(image, coordinate(x), coordinate(y), diameter, std::uint16_t(diameter), k, true, k);
}

// A mark size in pixels of the 350 x 250 frame at a scale other than 1:
// truncated, kept to 0..255 (a mark size is 8 bits), and at least 1 where
// the unscaled size is, so that no mark vanishes on a small frame. At scale
// 1 the callers keep their sizes as they always were, 8-bit wrap included.
int scaled_mark_size(double unscaled, double scale) {
    const int whole = truncate_to_int(std::clamp(unscaled * scale, 0.0, 255.0));
    return whole < 1 && unscaled >= 1 ? 1 : whole;
}

} // namespace

// ---------------------------------------------------------------- DOT

dot_renderer::dot_renderer()
    : point_renderer("DOT"), mode_setting_(add_menu("MODE", false, {"NORMAL", "INDEX"})) {
    add_shared_ports();
}

void dot_renderer::prepare_member() {
    mode_ = mode_setting_.selected();
    allocate_records(sorted(), point_count(width_, height_), false);
    allocate_plain_records(sorted() ? point_count(width_, height_) : 0);
}

bool dot_renderer::draw_without_points(buffer& image, const point_planes& p,
                                       const drawing_area& a) {
    if (mode_ != 1)
        return false;
    const int cols = std::min(width_, a.width);
    const int rows = std::min(height_, a.height);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (p.alpha.at(c, r) == 0)
                put_pixel_inside(image, a.x + c, a.y + r,
                                 colour{0, std::uint8_t(p.red.at(c, r)),
                                        std::uint8_t(p.green.at(c, r)),
                                        std::uint8_t(p.blue.at(c, r))});
    return true;
}

void dot_renderer::mark(const pixel_canvas& image, const point_record& record) const {
    image.put(std::int16_t(record.x[0]), std::int16_t(record.y[0]), drawn_pixel(record.col));
}

// ---------------------------------------------------------------- shape

shape_renderer::shape_renderer()
    : point_renderer("SHAPE"), value_size_(add_number("value.size", false, 255, 0, 255, 1)),
      type_size_(add_menu("TYPE.size", false, {"UINT8"})),
      shape_(titled(add_menu("MODE", true, {"CIRCLE", "SQUARE"}), "SHAPE")),
      // Starts at 0, which the minimum raises to 1.
      smallest_setting_(add_number("ss.min", false, 0, 1, 32, 1)),
      range_setting_(titled(add_number("ss.range", true, 8, 0, 64, 1), "SHAPE SIZE")),
      scale_setting_(add_number("SCALE", false, 1, 0, basic::scale_maximum, 0)) {
    add_shared_ports();
    size_port_ = &add_port(port::direction::in, value_size_, size_, type_size_, "SSIZE");
}

void shape_renderer::prepare_member() {
    smallest_ = truncate_to_int(smallest_setting_.value(0));
    range_ = truncate_to_int(range_setting_.value(0));
    circle_ = shape_.selected_name() == "CIRCLE";
    frame_scale_ = basic::scale_of(scale_setting_);
    // Shrunk by the largest mark, so that marks stay in the output area.
    const std::int64_t largest = std::int64_t(smallest_) + range_;
    area_ = output_area().shrunk(
        frame_scale_ == 1 ? largest : scaled_mark_size(double(largest), frame_scale_));
    allocate_records(true, point_count(width_, height_));
}

void shape_renderer::take_member_planes(point_planes& p) {
    p.mark_size = plane(size_port_->get_matrix());
}

// s = smallest + SSIZE x range / 255 in whole pixels, kept in 8 bits; at
// another scale (smallest + SSIZE x range / 255) x scale, from the exact
// quotient, so that a large frame gets the in-between sizes too.
void shape_renderer::fill_record(const point_planes& p, const drawing_area& a, int c, int r,
                                 point_record& record) const {
    point_renderer::fill_record(p, a, c, r, record);
    const std::int64_t m = p.mark_size.at(c, r);
    std::int64_t s = smallest_ + m * range_ / 255;
    if (frame_scale_ != 1)
        s = scaled_mark_size(smallest_ + double(m) * range_ / 255, frame_scale_);
    record.size = std::uint8_t(s & 0xFF);
}

void shape_renderer::mark(const pixel_canvas& on, const point_record& record) const {
    buffer& image = on.image;
    const int s = record.size;
    if (s == 0)
        return;
    const std::int64_t x = std::int16_t(record.x[0]) - s / 2;
    const std::int64_t y = std::int16_t(record.y[0]) - s / 2;
    if (circle_)
        filled_circle(image, x, y, s, record.col);
    else
        draw_rectangle(image, coordinate(x), coordinate(y), std::uint16_t(s), std::uint16_t(s),
                       record.col, true, record.col);
}

// ---------------------------------------------------------------- fiber

fiber_renderer::fiber_renderer()
    : point_renderer("FIBER"),
      angle_setting_(titled(add_config<cfg_FP64>("ANGLE", true, version(),
                                                 std::vector<cfg_FP64::number>{{120, 0, 360, 1}},
                                                 /*dial=*/true),
                            "FIBER ANGLE")),
      length_setting_(titled(add_number("LENGTH", true, 3, 1, 5, 1), "FIBER LENGTH")),
      scale_setting_(add_number("SCALE", false, 1, 0, basic::scale_maximum, 0)) {
    add_shared_ports();
}

void fiber_renderer::prepare_member() {
    angle_ = angle_setting_.value(0) * radians_per_degree;
    length_ = truncate_to_int(length_setting_.value(0));
    segment_ = 5 * basic::scale_of(scale_setting_);
    // A segment moves at most its length, rounded up, either way.
    area_ = output_area().shrunk(truncate_to_int64(std::ceil(segment_)) * length_);
    allocate_records(true, point_count(width_, height_), false);
    allocate_plain_records(point_count(width_, height_));
}

// Each segment turns by a fresh random amount about the set angle; the turns
// do not accumulate.
void fiber_renderer::mark(const pixel_canvas& on, const point_record& record) const {
    buffer& image = on.image;
    std::int64_t x = std::int16_t(record.x[0]);
    std::int64_t y = std::int16_t(record.y[0]);
    for (int i = 0; i < length_; ++i) {
        const double a = angle_ + random().real(0, eighth_turn) - quarter_turn_half;
        const std::int64_t next_x = x + truncate_to_int(std::ceil(segment_ * std::cos(a)));
        const std::int64_t next_y = y - truncate_to_int(std::ceil(segment_ * std::sin(a)));
        draw_line(image, coordinate(next_x), coordinate(next_y), coordinate(x), coordinate(y),
                  record.col);
        x = next_x;
        y = next_y;
    }
}

// ---------------------------------------------------------------- surface

surface_renderer::surface_renderer() : point_renderer("SURFACE") {
    add_shared_ports();
}

void surface_renderer::prepare_member() {
    cell_capacity_ = point_count(width_ - 1, height_ - 1);
    allocate_records(true, cell_capacity_, false);
    cells_.reset();
    passing_cells_.reset();
    if (cell_capacity_ > 0) {
        cells_ = allocate_array<cell_record>(cell_capacity_);
        if (sorted())
            passing_cells_ = allocate_array<cell_record>(cell_capacity_);
    }
    const std::size_t entries = 2 * std::size_t(std::max(width_, 0));
    upper_row_.assign(entries, 0);
    lower_row_.assign(entries, 0);
}

void surface_renderer::place_row(const point_planes& p, const drawing_area& a, int r,
                                 std::uint16_t* out) const {
    if (p.x.element_size == 2 && p.y.element_size == 2) {
        const std::uint8_t* xs = p.x.data + 2 * std::size_t(r) * std::size_t(p.x.width);
        const std::uint8_t* ys = p.y.data + 2 * std::size_t(r) * std::size_t(p.y.width);
        for (int c = 0; c < width_; ++c) {
            std::uint16_t x, y;
            std::memcpy(&x, xs + 2 * std::size_t(c), 2);
            std::memcpy(&y, ys + 2 * std::size_t(c), 2);
            out[2 * c] = std::uint16_t(screen(x, a.x, a.width));
            out[2 * c + 1] = std::uint16_t(screen(y, a.y, a.height));
        }
        return;
    }
    for (int c = 0; c < width_; ++c) {
        out[2 * c] = std::uint16_t(screen(p.x.at(c, r), a.x, a.width));
        out[2 * c + 1] = std::uint16_t(screen(p.y.at(c, r), a.y, a.height));
    }
}

// Rows are visited top to bottom: the lower row of one becomes the upper
// row of the next.
void surface_renderer::begin_row(const point_planes& p, const drawing_area& a, int r) {
    if (r == placed_row_ + 1 && r > 0) {
        std::swap(upper_row_, lower_row_);
    } else {
        place_row(p, a, r, upper_row_.data());
    }
    place_row(p, a, r + 1, lower_row_.data());
    placed_row_ = r;
}

// The cell whose top-left point is (c, r): its corners clockwise from there,
// and the mean depth of the four.
void surface_renderer::fill_record(const point_planes& p, const drawing_area&, int c, int r,
                                   point_record& record) const {
    const std::uint16_t* upper = upper_row_.data() + 2 * c;
    const std::uint16_t* lower = lower_row_.data() + 2 * c;
    record.x[0] = upper[0];
    record.y[0] = upper[1];
    record.x[1] = upper[2];
    record.y[1] = upper[3];
    record.x[2] = lower[2];
    record.y[2] = lower[3];
    record.x[3] = lower[0];
    record.y[3] = lower[1];
    const unsigned key_sum =
        p.sort.at(c, r) + p.sort.at(c + 1, r) + p.sort.at(c + 1, r + 1) + p.sort.at(c, r + 1);
    record.key = std::uint16_t(key_sum / 4);
}

void surface_renderer::reset() {
    cells_.reset();
    passing_cells_.reset();
    cell_capacity_ = 0;
    point_renderer::reset();
}

// The records of make_records as cell records, then drawn in depth order
// (or visiting order without "SORT") as mark draws them.
bool surface_renderer::draw_records(const pixel_canvas& image, const point_planes& p,
                                    const drawing_area& a) {
    const bool in_depth_order = sorted();
    if (!usual_planes(p) || !cells_ || (in_depth_order && !passing_cells_))
        return false;
    cell_record* cells = cells_.get();
    far_corners_.clear();
    screen_x_.resize(65536);
    screen_y_.resize(65536);
    for (unsigned v = 0; v < 65536; ++v) {
        screen_x_[v] = std::uint16_t(screen(v, a.x, a.width));
        screen_y_[v] = std::uint16_t(screen(v, a.y, a.height));
    }
    auto place = [&](int r, std::uint16_t* out) {
        const std::uint8_t* xs = p.x.data + 2 * std::size_t(r) * std::size_t(p.x.width);
        const std::uint8_t* ys = p.y.data + 2 * std::size_t(r) * std::size_t(p.y.width);
        for (int c = 0; c < width_; ++c) {
            std::uint16_t x, y;
            std::memcpy(&x, xs + 2 * std::size_t(c), 2);
            std::memcpy(&y, ys + 2 * std::size_t(c), 2);
            out[2 * c] = screen_x_[x];
            out[2 * c + 1] = screen_y_[y];
        }
    };
    auto at16 = [](const std::uint8_t* row, int c) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * std::size_t(c), 2);
        return unsigned(v);
    };
    const int cols = std::max(0, columns());
    std::size_t drawn = 0;
    for (int r = 0; r < std::max(0, rows()); ++r) {
        // As begin_row: the lower row of one becomes the upper of the next.
        if (r == 0)
            place(r, upper_row_.data());
        else
            std::swap(upper_row_, lower_row_);
        place(r + 1, lower_row_.data());
        placed_row_ = r;
        const std::uint8_t* alpha = p.alpha.data + std::size_t(r) * std::size_t(p.alpha.width);
        const std::uint8_t* red = p.red.data + std::size_t(r) * std::size_t(p.red.width);
        const std::uint8_t* green = p.green.data + std::size_t(r) * std::size_t(p.green.width);
        const std::uint8_t* blue = p.blue.data + std::size_t(r) * std::size_t(p.blue.width);
        const std::uint8_t* sort = p.sort.data + 2 * std::size_t(r) * std::size_t(p.sort.width);
        const std::uint8_t* sort_below = sort + 2 * std::size_t(p.sort.width);
        const std::uint16_t* upper = upper_row_.data();
        const std::uint16_t* lower = lower_row_.data();
        for (int c = 0; c < cols; ++c) {
            if (alpha[c] != 0)
                continue;
            if (drawn >= cell_capacity_)
                return true; // cannot happen: one record per cell
            // Corners clockwise from the top left, as fill_record gives them.
            const std::int16_t xs[4] = {std::int16_t(upper[2 * c]), std::int16_t(upper[2 * c + 2]),
                                        std::int16_t(lower[2 * c + 2]), std::int16_t(lower[2 * c])};
            const std::int16_t ys[4] = {
                std::int16_t(upper[2 * c + 1]), std::int16_t(upper[2 * c + 3]),
                std::int16_t(lower[2 * c + 3]), std::int16_t(lower[2 * c + 1])};
            cell_record& cell = cells[drawn];
            cell.red = red[c];
            cell.green = green[c];
            cell.blue = blue[c];
            bool near = true;
            for (int k = 1; k < 4; ++k) {
                const int dx = xs[k] - xs[0], dy = ys[k] - ys[0];
                near = near && dx >= -128 && dx <= 127 && dy >= -128 && dy <= 127;
                cell.dx[k - 1] = std::int8_t(dx);
                cell.dy[k - 1] = std::int8_t(dy);
            }
            cell.far = !near;
            if (near) {
                cell.x = xs[0];
                cell.y = ys[0];
            } else {
                const std::size_t at = far_corners_.size() / 8;
                far_corners_.insert(far_corners_.end(), xs, xs + 4);
                far_corners_.insert(far_corners_.end(), ys, ys + 4);
                cell.x = std::int16_t(at & 0xFFFF);
                cell.y = std::int16_t(at >> 16);
            }
            const unsigned key_sum =
                at16(sort, c) + at16(sort, c + 1) + at16(sort_below, c + 1) + at16(sort_below, c);
            cell.key = std::uint16_t(key_sum / 4);
            ++drawn;
        }
    }
    auto draw = [&](const cell_record& cell) {
        std::int16_t xs[4], ys[4];
        if (cell.far == 0 &&
            (cell.dx[0] | cell.dx[1] | cell.dx[2] | cell.dy[0] | cell.dy[1] | cell.dy[2]) == 0) {
            // All four corners on one pixel: the quad is that pixel. Most
            // cells of a large picture shown small are such.
            image.put(cell.x, cell.y, drawn_pixel(colour{0, cell.red, cell.green, cell.blue}));
            return;
        }
        if (cell.far == 0) {
            xs[0] = cell.x;
            ys[0] = cell.y;
            for (int k = 1; k < 4; ++k) {
                xs[k] = std::int16_t(cell.x + cell.dx[k - 1]);
                ys[k] = std::int16_t(cell.y + cell.dy[k - 1]);
            }
        } else {
            const std::size_t at =
                std::size_t(std::uint16_t(cell.x)) | std::size_t(std::uint16_t(cell.y)) << 16;
            std::memcpy(xs, &far_corners_[8 * at], sizeof xs);
            std::memcpy(ys, &far_corners_[8 * at + 4], sizeof ys);
        }
        fill_quad(image, xs, ys, colour{0, cell.red, cell.green, cell.blue});
    };
    if (in_depth_order) {
        // The cells themselves put in depth order, largest key first and
        // equal keys in visiting order, by the stable two-pass sort of
        // depth_order: each pass reads its cells in turn and writes to 256
        // places at a time, so the drawing reads them in turn too instead
        // of jumping about the memory.
        // Digits count down, so that larger keys come first.
        cell_record* passing = passing_cells_.get();
        stable_pass(cells, passing, drawn,
                    [](const cell_record& c) { return 255u - (c.key & 255u); });
        stable_pass(passing, cells, drawn,
                    [](const cell_record& c) { return 255u - (c.key >> 8); });
    }
    for (std::size_t i = 0; i < drawn; ++i)
        draw(cells[i]);
    return true;
}

void surface_renderer::mark(const pixel_canvas& image, const point_record& record) const {
    std::int16_t xs[4];
    std::int16_t ys[4];
    for (int i = 0; i < 4; ++i) {
        xs[i] = std::int16_t(record.x[i]);
        ys[i] = std::int16_t(record.y[i]);
    }
    fill_quad(image, xs, ys, record.col);
}

// ---------------------------------------------------------------- cloud

cloud_renderer::cloud_renderer()
    : point_renderer("CLOUD"),
      radius_setting_(titled(add_number("RADIUS", true, 8, 1, 32, 1), "CLOUD RADIUS")),
      drop_setting_(titled(add_number("SIZE.SHAPE", true, 5, 1, 16, 1), "DROP SIZE")),
      density_setting_(titled(add_number("DENSITY", true, 2, 1, 6, 1), "CLOUD DENSITY")),
      scale_setting_(add_number("SCALE", false, 1, 0, basic::scale_maximum, 0)) {
    add_shared_ports();
}

void cloud_renderer::prepare_member() {
    const double scale = basic::scale_of(scale_setting_);
    radius_ = truncate_to_int(radius_setting_.value(0)) * scale;
    density_ = truncate_to_int(density_setting_.value(0));
    drop_ = scale == 1 ? truncate_to_u8(drop_setting_.value(0))
                       : scaled_mark_size(drop_setting_.value(0), scale);
    // A drop lands at most the radius, rounded up, from its point.
    area_ = output_area().shrunk(truncate_to_int64(std::ceil(radius_)));
    allocate_records(sorted(), point_count(width_, height_), false);
    allocate_plain_records(sorted() ? point_count(width_, height_) : 0);
    drop_rows_.reset();
    if (drop_ >= 2)
        drop_rows_.emplace(drop_);
}

namespace {

// The direction of a drop is random_real(0, full_turn): one of 32768 angles,
// whose cosines and sines are worked out once.
struct turn_table {
    std::vector<double> cosines, sines;
    turn_table() : cosines(32768), sines(32768) {
        for (int n = 0; n < 32768; ++n) {
            const double theta = 0.0 + (full_turn - 0.0) * n * (1.0 / 32767.0);
            cosines[std::size_t(n)] = std::cos(theta);
            sines[std::size_t(n)] = std::sin(theta);
        }
    }
};

const turn_table& turns() {
    static const turn_table table;
    return table;
}

} // namespace

namespace {

// ceil(v) as an int, for |v| < 2^31 - 1: the truncation, one up when that
// lies below v.
int ceiling(double v) {
    const int whole = static_cast<int>(v);
    return whole + (double(whole) < v);
}

} // namespace

void cloud_renderer::mark(const pixel_canvas& image, const point_record& record) const {
    const turn_table& table = turns();
    const std::int64_t sx = std::int16_t(record.x[0]);
    const std::int64_t sy = std::int16_t(record.y[0]);
    const pixel value = drawn_pixel(record.col);
    // The draws of the generator's draw() and real(0, radius_), with its
    // state in hand for the drops of this point.
    unsigned long& shared_state = random().state();
    unsigned long state = shared_state;
    // Distances stay within the radius: small enough for the quick ceiling.
    const bool small = std::abs(radius_) <= 1000000;
    for (int i = 0; i < density_; ++i) {
        const std::size_t turn = std::size_t(random_generator::next_draw(state));
        const double rho =
            0.0 + (radius_ - 0.0) * random_generator::next_draw(state) * (1.0 / 32767.0);
        const double across = rho * table.cosines[turn];
        const double up = rho * table.sines[turn];
        const std::int64_t x =
            sx + (small ? ceiling(across) : truncate_to_int(std::ceil(across))) - drop_ / 2;
        const std::int64_t y =
            sy - (small ? ceiling(up) : truncate_to_int(std::ceil(up))) - drop_ / 2;
        if (drop_rows_)
            fill_circle(image, coordinate(x), coordinate(y), *drop_rows_, value);
        else if (drop_ == 1)
            image.put(int(std::clamp<std::int64_t>(x, -1, image.width)),
                      int(std::clamp<std::int64_t>(y, -1, image.height)), value);
    }
    shared_state = state;
}

} // namespace zoetra::effects
