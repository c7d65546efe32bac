#pragma once
// The point renderers draw a picture as a cloud of marks straight into the
// output area of the frame image. Every element of their input planes is one
// point: "X" and "Y" place it, "RED", "GREEN" and "BLUE" colour it, "ALPHA"
// says whether it is drawn (0 draws), and "SORT" gives a depth by which the
// points are drawn farthest (largest key) first; points with equal keys are
// drawn in the order they were visited (row by row), so the picture does not
// depend on how a sort treats ties. This base holds what the five members
// share; each member says which mark a point makes.
#include "base/memory.hpp"
#include "base/random.hpp"
#include "engine/component.hpp"
#include "raster/buffer.hpp"
#include "raster/draw.hpp"
#include "raster/pixel.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zoetra::effects {

// One drawn point, sorted as a whole (24 bytes). Only "surface" uses all four
// corners; the other members use the first.
struct point_record {
    std::uint16_t key;
    std::uint16_t x[4];
    std::uint16_t y[4];
    colour col; // transparency byte always 0 (drawn)
    std::uint8_t size;
};
static_assert(sizeof(point_record) == 24);

// Where the marks go: a rectangle of the frame image. Width and height are
// never negative; an empty area draws nothing.
struct drawing_area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    // The area moved in by m on every side (empty when too small).
    drawing_area shrunk(std::int64_t m) const;
};

// A read-only view of one input plane, 8 or 16 bits per element.
struct plane {
    const std::uint8_t* data = nullptr;
    int element_size = 1;
    int width = 0;
    int height = 0;
    explicit plane(const matrix& m)
        : data(m.data()), element_size(m.element_size()), width(m.size(0)), height(m.size(1)) {}
    plane() = default;
    unsigned at(int c, int r) const {
        const std::size_t i = std::size_t(r) * std::size_t(width) + std::size_t(c);
        if (element_size == 2) {
            std::uint16_t v;
            std::memcpy(&v, data + 2 * i, 2);
            return v;
        }
        return data[i];
    }
};

// The planes of one fire.
struct point_planes {
    plane x, y, red, green, blue, alpha, sort, mark_size;
};

// Puts a pixel only when it lies inside the buffer: single pixels are not
// clipped by the drawing primitives' contract, so the renderers keep them in.
void put_pixel_inside(buffer& image, int x, int y, colour c);

// An int coordinate as a 16-bit drawing coordinate, saturated instead of wrapped.
inline std::int16_t coordinate(std::int64_t v) {
    return std::int16_t(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v);
}

// Moves the n items from `from` to `to` in the order of their digit (0 to
// 255, smallest first), items of one digit in the order they come: a stable
// counting pass. The items go as two halves side by side, each half with its
// own places (the first half's items of a digit before the second's), so
// that a run of one digit does not wait for each item's place in turn.
template <class Item, class Digit>
void stable_pass(const Item* from, Item* to, std::size_t n, Digit digit) {
    const std::size_t half = n / 2;
    const Item* second = from + half;
    const std::size_t second_count = n - half;
    std::uint32_t first_places[256] = {}, second_places[256] = {};
    for (std::size_t i = 0; i < half; ++i) {
        ++first_places[digit(from[i])];
        ++second_places[digit(second[i])];
    }
    if (second_count > half)
        ++second_places[digit(second[half])];
    std::uint32_t place = 0;
    for (int d = 0; d < 256; ++d) {
        const std::uint32_t in_first = first_places[d], in_second = second_places[d];
        first_places[d] = place;
        second_places[d] = place + in_first;
        place += in_first + in_second;
    }
    for (std::size_t i = 0; i < half; ++i) {
        to[first_places[digit(from[i])]++] = from[i];
        to[second_places[digit(second[i])]++] = second[i];
    }
    if (second_count > half)
        to[second_places[digit(second[half])]++] = second[half];
}

class point_renderer : public component {
  public:
    outcome prepare() override;
    outcome fire() override;
    // Frees the point records, then the base reset.
    void reset() override;

    std::size_t record_count() const { return record_count_; }

  protected:
    // Registers the shared configs; the member then adds its own configs,
    // calls add_shared_ports and adds its own ports.
    explicit point_renderer(std::string name);
    void add_shared_ports();

    // The member's part of prepare, after W, H, V and half are read.
    virtual void prepare_member() = 0;
    // The area the marks are placed in during this fire.
    virtual drawing_area area_at_fire() const { return output_area(); }
    // The whole of the network's canvas; empty without one.
    drawing_area output_area() const;
    // Whether the points are drawn in depth order ("SORT" connected).
    bool sorted() const { return sort_->connected(); }
    // The program's pseudo-random generator (one of the component's own
    // outside a program).
    random_generator& random() const;
    // Draws the whole fire without points (the "DOT" index mode); false when
    // the member draws points.
    virtual bool draw_without_points(buffer&, const point_planes&, const drawing_area&) {
        return false;
    }
    // Planes of the member's own ports.
    virtual void take_member_planes(point_planes&) {}
    // Points along x and y: one per element, or one per cell for "surface".
    virtual int columns() const { return width_; }
    virtual int rows() const { return height_; }
    // Called before the points of row r are visited.
    virtual void begin_row(const point_planes&, const drawing_area&, int /*r*/) {}
    // Fills the record of point (c, r) beyond its colour.
    virtual void fill_record(const point_planes& p, const drawing_area& a, int c, int r,
                             point_record& record) const;
    // Draws the mark of one point on the locked frame image.
    virtual void mark(const pixel_canvas& image, const point_record& record) const = 0;

    // Keeps an array of records (zero-filled) for this run, or none; with
    // full_records false none of the arrays yet, for a member that keeps its
    // own records (draw_records): they are made only if it leaves a fire to
    // the base.
    void allocate_records(bool wanted, std::size_t count, bool full_records = true);

    // A member's own making and drawing of its records, in visiting order or
    // (with "SORT") in depth order; false leaves the fire to the base.
    virtual bool draw_records(const pixel_canvas&, const point_planes&, const drawing_area&) {
        return false;
    }

    // Fills the records of the drawn points (alpha 0) in visiting order, at
    // most capacity of them, with their keys also in keys; returns how many.
    // This visits the points through begin_row and fill_record; members whose
    // records are the usual ones may do the same faster.
    virtual std::size_t make_records(const point_planes& p, const drawing_area& a,
                                     point_record* records, std::uint16_t* keys,
                                     std::size_t capacity);
    // For members that keep fill_record as it is (key, x[0], y[0] and the
    // colour): the plain arrays for allocate_records(wanted, count, false),
    // and draw_records making 10-byte records from the planes' rows (with
    // the usual element sizes), put in depth order by moving the records
    // themselves, and drawn with mark.
    void allocate_plain_records(std::size_t count);
    bool draw_plain_records(const pixel_canvas& image, const point_planes& p,
                            const drawing_area& a);
    // Whether the planes have the usual element sizes: 8-bit colours and
    // alpha, 16-bit positions and keys.
    static bool usual_planes(const point_planes& p);

    // origin + position x extent / 65535 (truncated): a position of 65535
    // lands one pixel past the area.
    static std::int16_t screen(unsigned position, int origin, int extent) {
        return coordinate(origin + std::int64_t(position) * extent / 65535);
    }

    int width_ = 0;
    int height_ = 0;
    int scale_ = 0; // V: the maximum of "value"
    int half_ = 0;

    cfg_FP64& value_red_;
    cfg_FP64& value_green_;
    cfg_FP64& value_blue_;
    cfg_FP64& value_alpha_;
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_col_;
    cfg_menu& type_;

  private:
    port* red_ = nullptr;
    port* green_ = nullptr;
    port* blue_ = nullptr;
    port* alpha_ = nullptr;
    port* x_ = nullptr;
    port* y_ = nullptr;
    port* sort_ = nullptr;
    mutable random_generator own_random_;

    matrix_ptr grid(port& p, bool along_x) const;
    bool planes_cover(const point_planes& p) const;
    void draw_points(buffer& image, const point_planes& p, const drawing_area& a);
    void allocate_arrays();
    // The first count keys' drawing order, as indices.
    const std::uint32_t* depth_order(std::size_t count);

    bool with_records_ = false;
    std::size_t record_count_ = 0;
    heap_ptr<point_record> records_;
    // A point in 10 bytes, for draw_plain_records; the points in visiting
    // order and then in depth order, and after the order's first pass.
    struct plain_record {
        std::uint16_t key;
        std::int16_t x, y;
        std::uint8_t red, green, blue, unused;
    };
    heap_ptr<plain_record> plain_;
    heap_ptr<plain_record> plain_passing_;
    // The records' keys side by side, for the depth order's counting.
    heap_ptr<std::uint16_t> keys_;
    // The drawing order, and the order after its first pass, kept while
    // records are.
    heap_ptr<std::uint32_t> order_;
    heap_ptr<std::uint32_t> passing_;
};

} // namespace zoetra::effects
