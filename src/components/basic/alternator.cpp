#include "components/basic/alternator.hpp"

#include "components/basic/common.hpp"
#include "engine/numeric.hpp"

#include <algorithm>

namespace zoetra::basic {

namespace {
constexpr double pair_size[3] = {2, 1, 1};
constexpr double pair_maximum[3] = {32, 1, 1};
} // namespace

ALTERNATOR::ALTERNATOR()
    : component(kind_input, "ALTERNATOR", 1.0),
      num_frames_(add_number("NUM_FRAMES", false, 0, 0, 255, 1)),
      value_(add_number("VALUE", false, 0, 0, 255, 1)),
      size_(add_size("SIZE", size_one, size_minimum, size_one)),
      size_out_(add_size("SIZE.OUT", pair_size, size_minimum, pair_maximum)),
      type_(add_menu("TYPE", false, {"UINT8"})),
      sources_setting_(add_number("SOURCES", false, 3, 2, 32, 1)),
      which_(add_port(port::direction::out, value_, size_out_, type_, "WHICH.alternator")),
      weight_(add_port(port::direction::out, value_, size_out_, type_, "WEIGHT.alternator")),
      control_(add_port(port::direction::in, value_, size_, type_, "CONTROL.alternator")) {}

outcome ALTERNATOR::prepare() {
    sources_ = truncate_to_u8(sources_setting_.value(0));
    return component::prepare();
}

ALTERNATOR::result ALTERNATOR::alternate(unsigned c, std::uint8_t sources,
                                         std::uint8_t num_frames) {
    if (sources < 2)
        return {{0, 255}, {255, 0}};
    // With at most 255 sources a segment is at least one step wide.
    const unsigned segment = 255u / (sources - 1u);
    const unsigned i = c / segment;
    const unsigned r = c % segment;
    const unsigned fraction = 255u * r / segment;
    // A clock of F frames stops at (F - 1) / F of its range; stretching the
    // fade by F / (F - 1) lets the last frame arrive at the full weight.
    const double stretch =
        num_frames != 0 && num_frames != 1 ? double(num_frames) / (num_frames - 1) : 1.0;
    auto limited = [](double w) {
        return static_cast<unsigned>(std::clamp<std::int64_t>(truncate_to_int64(w), 0, 255));
    };
    result out;
    out.weight = {limited(255 - fraction * stretch), limited(fraction * stretch)};
    out.which = {255u * i / sources, 255u * (i + 1) / sources};
    return out;
}

outcome ALTERNATOR::fire() {
    matrix_ptr which = which_.make_matrix(false);
    matrix_ptr weight = weight_.make_matrix(false);
    const unsigned c = first_element(control_.get_matrix()) & 0xFFu;
    const result r = alternate(c, sources_, truncate_to_u8(num_frames_.value(0)));
    auto write_pair = [](matrix& m, pair p) {
        std::memset(m.data(), 0, m.byte_size());
        // Positions past the last source wrap in the element's 8 bits.
        if (m.element_count() >= 1)
            set_element_value(m, 0, p.first);
        if (m.size(0) >= 2 && m.element_count() >= 2)
            set_element_value(m, 1, p.second);
    };
    // The hold results are not consulted: an output takes every matrix.
    if (which) {
        write_pair(*which, r.which);
        static_cast<void>(which_.hold(which));
    }
    if (weight) {
        write_pair(*weight, r.weight);
        static_cast<void>(weight_.hold(weight));
    }
    return finish_fire();
}

} // namespace zoetra::basic
