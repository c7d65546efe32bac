#pragma once
// Test support for components: planes built from values, and a rig that
// connects a component's inputs to a feeder and its outputs to a probe.
#include "engine/component.hpp"

#include <gtest/gtest.h>

#include <concepts>
#include <functional>
#include <string>
#include <vector>

namespace zoetra::testing {

using list = std::vector<unsigned>;
using formula = std::function<unsigned(int x, int y)>;

// A width x height matrix of the given type holding value(x, y).
template <std::invocable<int, int> F>
matrix_ptr plane(const std::string& type, int width, int height, const F& value) {
    const std::uint16_t sizes[3] = {std::uint16_t(width), std::uint16_t(height), 1};
    const bool wide = type == "UINT16";
    auto m = std::make_unique<matrix>(3, sizes, wide ? 2 : 1, type);
    for (std::uint16_t y = 0; y < height; ++y)
        for (std::uint16_t x = 0; x < width; ++x)
            if (wide)
                m->u16(x, y) = std::uint16_t(value(x, y));
            else
                m->u8(x, y) = std::uint8_t(value(x, y));
    return m;
}
// The same from values row by row (missing ones are 0).
inline matrix_ptr plane(const std::string& type, int width, int height, const list& values) {
    return plane(type, width, height, [&](int x, int y) {
        const auto i = std::size_t(y * width + x);
        return i < values.size() ? values[i] : 0u;
    });
}

inline list values_of(const matrix& m) {
    list out;
    for (std::uint32_t i = 0; i < m.element_count(); ++i)
        out.push_back(m.value_at(std::uint16_t(i % m.size(0)),
                                 std::uint16_t(i / m.size(0) % m.size(1)),
                                 std::uint16_t(i / (m.size(0) * m.size(1)))));
    return out;
}

inline void set_size(component& c, const char* name, double x, double y, double z = 1) {
    for (int i = 0; i < 3; ++i)
        c.number(name).set_value(i, i == 0 ? x : i == 1 ? y : z);
}

// The feeder (outputs OUT.k, a peer for inputs that tests hand matrices) or
// the probe (inputs IN.k): one value/size/type trio that fits any plane.
class helper : public component {
  public:
    explicit helper(bool feeder)
        : component(kind_input, feeder ? "FEEDER" : "PROBE", 1.0),
          prefix_(feeder ? "OUT." : "IN.") {
        static constexpr double one[3] = {1, 1, 1}, roomy[3] = {2048, 2048, 16};
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", one, one, roomy);
        add_menu("TYPE", false, {"UINT8", "UINT16"});
        for (int k = 1; k <= 8; ++k)
            add_port(feeder ? port::direction::out : port::direction::in, "VALUE", "SIZE", "TYPE",
                     prefix_ + std::to_string(k));
    }
    port& at(int k) { return find_port(prefix_ + std::to_string(k)); }
    // A probe input takes the shape of the output it listens to.
    void adopt_shape(const port& p) {
        number("SIZE").copy_from(p.size_config());
        menu("TYPE").select_by_name(p.type_name());
    }
    bool fire(std::string& error) override { return finish_fire(error, true); }

  private:
    std::string prefix_;
};

inline void connect(port& a, port& b) {
    std::string error;
    ASSERT_TRUE(port::connect(a, b, &error)) << error;
}

inline void hold(component& c, const std::string& input, matrix_ptr m) {
    std::string error;
    ASSERT_TRUE(c.find_port(input).hold(m, error)) << input << ": " << error;
}

// A component under test: inputs connected to the feeder, outputs to the probe.
template <class C> struct component_rig {
    C subject;
    helper source{true};
    helper tap{false};
    int next_feed = 1;

    void listen(const std::string& input) {
        connect(source.at(next_feed++), subject.find_port(input));
    }
    // Output `name` goes to the probe's IN.k.
    void watch(const std::string& name, int k) { connect(subject.find_port(name), tap.at(k)); }
    // The inputs fed, and output k of the list (from 1) to the probe's IN.k.
    void wire(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
        for (const std::string& input : inputs)
            listen(input);
        for (std::size_t k = 0; k < outputs.size(); ++k)
            watch(outputs[k], int(k + 1));
    }
    void give(const std::string& input, matrix_ptr m) { hold(subject, input, std::move(m)); }
    // preprepare and prepare; the probe then takes the shape of `shaped_like`.
    void begin(const std::string& shaped_like) {
        std::string error;
        ASSERT_TRUE(subject.preprepare(error) && subject.prepare(error)) << error;
        tap.adopt_shape(subject.find_port(shaped_like));
    }
    void fire_once() {
        std::string error;
        ASSERT_TRUE(subject.fire(error)) << error;
        subject.clear_fired();
    }
    const matrix* got(int k) {
        return tap.at(k).holds_matrix() ? &tap.at(k).get_matrix() : nullptr;
    }
    list values(int k) { return got(k) != nullptr ? values_of(*got(k)) : list{}; }
};

} // namespace zoetra::testing
