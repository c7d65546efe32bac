#include "components/effects/point_renderer.hpp"

#include "engine/context.hpp"
#include "engine/numeric.hpp"
#include "raster/draw.hpp"
#include "raster/output_canvas.hpp"

#include <algorithm>
#include <vector>

namespace zoetra::effects {
namespace {

constexpr double size_initial[3] = {1, 1, 1};
constexpr double size_minimum[3] = {1, 1, 1};
constexpr double size_maximum[3] = {2048, 2048, 1};

} // namespace

drawing_area drawing_area::shrunk(std::int64_t m) const {
    m = std::clamp<std::int64_t>(m, -65536, 65536);
    const std::int64_t w = width - 2 * m;
    const std::int64_t h = height - 2 * m;
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535)
        return drawing_area{};
    return drawing_area{int(x + m), int(y + m), int(w), int(h)};
}

drawing_area point_renderer::output_area() const {
    const output_canvas* target = canvas();
    if (target == nullptr)
        return {};
    const rect r = target->output_area();
    return drawing_area{0, 0, r.width, r.height};
}

random_generator& point_renderer::random() const {
    return program() != nullptr ? program()->random() : own_random_;
}

void put_pixel_inside(buffer& image, int x, int y, colour c) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        put_pixel(image, std::int16_t(x), std::int16_t(y), c);
}

point_renderer::point_renderer(std::string name)
    : component(kind_input, std::move(name), 1.0),
      value_red_(add_number("VALUE.RED", false, 255, 0, 255, 1)),
      value_green_(add_number("VALUE.GREEN", false, 0, 0, 255, 1)),
      value_blue_(add_number("VALUE.BLUE", false, 0, 0, 255, 1)),
      value_alpha_(add_number("VALUE.ALPHA", false, 0, 0, 255, 1)),
      value_(add_number("value", false, 0, 0, 65535, 1)),
      size_(add_size("SIZE", size_initial, size_minimum, size_maximum)),
      type_col_(add_menu("TYPE.COL", false, {"UINT8"})),
      type_(add_menu("TYPE", false, {"UINT16"})) {}

void point_renderer::add_shared_ports() {
    using dir = port::direction;
    red_ = &add_port(dir::in, value_red_, size_, type_col_, "RED");
    green_ = &add_port(dir::in, value_green_, size_, type_col_, "GREEN");
    blue_ = &add_port(dir::in, value_blue_, size_, type_col_, "BLUE");
    alpha_ = &add_port(dir::in, value_alpha_, size_, type_col_, "ALPHA");
    x_ = &add_port(dir::in, value_, size_, type_, "X");
    y_ = &add_port(dir::in, value_, size_, type_, "Y");
    sort_ = &add_port(dir::in, value_, size_, type_, "SORT");
}

outcome point_renderer::prepare() {
    width_ = x_->size(0);
    height_ = x_->size(1);
    scale_ = truncate_to_int(value_.maximum(0));
    half_ = scale_ / 2;
    prepare_member();
    return component::prepare();
}

void point_renderer::reset() {
    records_.reset();
    plain_.reset();
    plain_passing_.reset();
    keys_.reset();
    order_.reset();
    passing_.reset();
    record_count_ = 0;
    with_records_ = false;
    component::reset();
}

void point_renderer::allocate_records(bool wanted, std::size_t count, bool full_records) {
    with_records_ = wanted;
    record_count_ = wanted ? count : 0;
    records_.reset();
    keys_.reset();
    order_.reset();
    passing_.reset();
    if (record_count_ > 0 && full_records)
        allocate_arrays();
}

void point_renderer::allocate_arrays() {
    if (!records_)
        records_ = allocate_zeroed_array<point_record>(record_count_);
    if (!keys_)
        keys_ = allocate_array<std::uint16_t>(record_count_);
    if (!order_)
        order_ = allocate_array<std::uint32_t>(record_count_);
    if (!passing_)
        passing_ = allocate_array<std::uint32_t>(record_count_);
}

// A stable sort on the 16-bit keys, largest first, so points with equal keys
// keep the order they were visited in: two counting passes of 8 bits, the
// low byte's and then the high byte's, each stable. Each pass writes to 256
// places at a time, which the caches hold, where one pass over all 65536 keys
// would scatter its writes over the whole order. The first pass carries the
// high byte beside the index (below 2^24: at most 2048 x 2048 points).
const std::uint32_t* point_renderer::depth_order(std::size_t count) {
    const std::uint16_t* keys = keys_.get();
    std::uint32_t* passing = passing_.get();
    std::uint32_t* order = order_.get();
    std::uint32_t low[256] = {}, high[256] = {};
    // Digits count down, so that larger keys come first.
    for (std::size_t i = 0; i < count; ++i) {
        ++low[255 - (keys[i] & 255)];
        ++high[255 - (keys[i] >> 8)];
    }
    // Each digit's first place: after every smaller digit.
    std::uint32_t low_place = 0, high_place = 0;
    for (int d = 0; d < 256; ++d) {
        const std::uint32_t low_count = low[d], high_count = high[d];
        low[d] = low_place;
        high[d] = high_place;
        low_place += low_count;
        high_place += high_count;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned key = keys[i];
        passing[low[255 - (key & 255)]++] =
            std::uint32_t(255 - (key >> 8)) << 24 | std::uint32_t(i);
    }
    for (std::size_t j = 0; j < count; ++j) {
        const std::uint32_t v = passing[j];
        order[high[v >> 24]++] = v & 0xFFFFFF;
    }
    return order;
}

// The points sit at the centres of W equal columns (H equal rows):
// half x (2c + 1) / W, kept in 16 bits.
matrix_ptr point_renderer::grid(port& p, bool along_x) const {
    matrix_ptr m = p.make_matrix(false);
    if (!m || m->element_size() != 2)
        return nullptr;
    const int cells = along_x ? width_ : height_;
    for (int r = 0; r < m->size(1); ++r) {
        for (int c = 0; c < m->size(0); ++c) {
            const std::int64_t i = along_x ? c : r;
            const std::int64_t v = cells > 0 ? std::int64_t(half_) * (2 * i + 1) / cells : 0;
            m->u16(std::uint16_t(c), std::uint16_t(r)) = std::uint16_t(v & 0xFFFF);
        }
    }
    return m;
}

// Every plane holds at least the W x H points that prepare counted on (they
// all share "SIZE", so this fails only when it changed since prepare).
bool point_renderer::planes_cover(const point_planes& p) const {
    for (const plane* q : {&p.x, &p.y, &p.red, &p.green, &p.blue, &p.alpha, &p.sort})
        if (q->data == nullptr || q->width < width_ || q->height < height_)
            return false;
    return p.mark_size.data == nullptr ||
           (p.mark_size.width >= width_ && p.mark_size.height >= height_);
}

void point_renderer::fill_record(const point_planes& p, const drawing_area& a, int c, int r,
                                 point_record& record) const {
    record.key = std::uint16_t(p.sort.at(c, r));
    record.x[0] = std::uint16_t(screen(p.x.at(c, r), a.x, a.width));
    record.y[0] = std::uint16_t(screen(p.y.at(c, r), a.y, a.height));
}

std::size_t point_renderer::make_records(const point_planes& p, const drawing_area& a,
                                         point_record* records, std::uint16_t* keys,
                                         std::size_t capacity) {
    const int cols = std::max(0, columns());
    const int rows_ = std::max(0, rows());
    std::size_t drawn = 0;
    for (int r = 0; r < rows_; ++r) {
        begin_row(p, a, r);
        for (int c = 0; c < cols; ++c) {
            if (p.alpha.at(c, r) != 0)
                continue;
            if (drawn >= capacity)
                return drawn; // cannot happen: the array has one record per point
            point_record& record = records[drawn];
            record.col = colour{0, std::uint8_t(p.red.at(c, r)), std::uint8_t(p.green.at(c, r)),
                                std::uint8_t(p.blue.at(c, r))};
            fill_record(p, a, c, r, record);
            keys[drawn++] = record.key;
        }
    }
    return drawn;
}

bool point_renderer::usual_planes(const point_planes& p) {
    for (const plane* q : {&p.red, &p.green, &p.blue, &p.alpha})
        if (q->element_size != 1)
            return false;
    for (const plane* q : {&p.x, &p.y, &p.sort})
        if (q->element_size != 2)
            return false;
    return true;
}

void point_renderer::allocate_plain_records(std::size_t count) {
    plain_.reset();
    plain_passing_.reset();
    if (count > 0) {
        plain_ = allocate_array<plain_record>(count);
        if (sorted())
            plain_passing_ = allocate_array<plain_record>(count);
    }
}

bool point_renderer::draw_plain_records(const pixel_canvas& image, const point_planes& p,
                                        const drawing_area& a) {
    const bool in_depth_order = sorted();
    if (!usual_planes(p) || !plain_ || (in_depth_order && !plain_passing_))
        return false;
    auto row16 = [](const plane& q, int r) {
        return q.data + 2 * std::size_t(r) * std::size_t(q.width);
    };
    auto row8 = [](const plane& q, int r) {
        return q.data + std::size_t(r) * std::size_t(q.width);
    };
    auto at16 = [](const std::uint8_t* row, int c) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * std::size_t(c), 2);
        return v;
    };
    plain_record* points = plain_.get();
    const int cols = std::max(0, width_);
    std::size_t drawn = 0;
    for (int r = 0; r < std::max(0, height_); ++r) {
        const std::uint8_t* alpha = row8(p.alpha, r);
        const std::uint8_t* red = row8(p.red, r);
        const std::uint8_t* green = row8(p.green, r);
        const std::uint8_t* blue = row8(p.blue, r);
        const std::uint8_t* xs = row16(p.x, r);
        const std::uint8_t* ys = row16(p.y, r);
        const std::uint8_t* sorts = row16(p.sort, r);
        for (int c = 0; c < cols; ++c) {
            if (alpha[c] != 0)
                continue;
            if (drawn >= record_count_)
                return true; // cannot happen: one record per point
            points[drawn++] = plain_record{at16(sorts, c),
                                           screen(at16(xs, c), a.x, a.width),
                                           screen(at16(ys, c), a.y, a.height),
                                           red[c],
                                           green[c],
                                           blue[c],
                                           0};
        }
    }
    if (in_depth_order) {
        // Largest key first (digits count down), equal keys in visiting
        // order: two stable passes that move the records themselves, so the
        // marks read them in turn instead of jumping about the memory.
        plain_record* passing = plain_passing_.get();
        stable_pass(points, passing, drawn,
                    [](const plain_record& q) { return 255u - (q.key & 255u); });
        stable_pass(passing, points, drawn,
                    [](const plain_record& q) { return 255u - (q.key >> 8); });
    }
    for (std::size_t i = 0; i < drawn; ++i) {
        const plain_record& q = points[i];
        point_record record{};
        record.key = q.key;
        record.x[0] = std::uint16_t(q.x);
        record.y[0] = std::uint16_t(q.y);
        record.col = colour{0, q.red, q.green, q.blue};
        mark(image, record);
    }
    return true;
}

void point_renderer::draw_points(buffer& locked, const point_planes& p, const drawing_area& a) {
    const pixel_canvas image(locked);
    if (!with_records_) {
        const int cols = std::max(0, columns());
        const int rows_ = std::max(0, rows());
        for (int r = 0; r < rows_; ++r) {
            begin_row(p, a, r);
            for (int c = 0; c < cols; ++c) {
                if (p.alpha.at(c, r) != 0)
                    continue;
                point_record point{};
                point.col = colour{0, std::uint8_t(p.red.at(c, r)), std::uint8_t(p.green.at(c, r)),
                                   std::uint8_t(p.blue.at(c, r))};
                fill_record(p, a, c, r, point);
                mark(image, point);
            }
        }
        return;
    }
    if (draw_records(image, p, a))
        return;
    allocate_arrays();
    point_record* records = records_.get();
    const std::size_t drawn = make_records(p, a, records, keys_.get(), record_count_);
    if (drawn == 0)
        return;
    // Largest key first; equal keys in the order they were visited.
    if (sorted()) {
        const std::uint32_t* order = depth_order(drawn);
        // The order jumps about the records: ask for the ones a few marks
        // ahead early, or every mark waits for memory.
        constexpr std::size_t ahead = 16;
        for (std::size_t i = 0; i < drawn; ++i) {
            if (i + ahead < drawn)
                __builtin_prefetch(&records[order[i + ahead]]);
            mark(image, records[order[i]]);
        }
        return;
    }
    for (std::size_t i = 0; i < drawn; ++i)
        mark(image, records[i]);
}

outcome point_renderer::fire() {
    // Generated planes live until the end of this fire.
    matrix_ptr x_grid = x_->connected() ? nullptr : grid(*x_, true);
    matrix_ptr y_grid = y_->connected() ? nullptr : grid(*y_, false);
    point_planes p;
    if (x_->connected() || x_grid)
        p.x = plane(x_grid ? *x_grid : x_->get_matrix());
    if (y_->connected() || y_grid)
        p.y = plane(y_grid ? *y_grid : y_->get_matrix());
    p.red = plane(red_->get_matrix());
    p.green = plane(green_->get_matrix());
    p.blue = plane(blue_->get_matrix());
    p.alpha = plane(alpha_->get_matrix());
    p.sort = plane(sort_->get_matrix());
    take_member_planes(p);

    output_canvas* target = canvas();
    if (target != nullptr && planes_cover(p)) {
        buffer& image = target->image();
        buffer_lock hold(image);
        const drawing_area a = area_at_fire();
        // An empty drawing area has no room for any point.
        if (!a.empty() && !draw_without_points(image, p, a))
            draw_points(image, p, a);
    }
    return finish_fire();
}

} // namespace zoetra::effects
