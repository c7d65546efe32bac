#pragma once
// Test support for components: planes built from values, and a rig that
// connects a component's inputs to a feeder and its outputs to a probe.
#include "engine/component.hpp"
#include "engine/context.hpp"
#include "engine/lookup.hpp"

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
        number_named(c, name).set_value(i, i == 0 ? x : i == 1 ? y : z);
}

// The feeder (outputs OUT.k, a peer for inputs that tests hand matrices) or
// the probe (inputs IN.k): one value/size/type trio that fits any plane.
class helper : public component {
  public:
    explicit helper(bool feeder)
        : component(kind_input, feeder ? "FEEDER" : "PROBE", 1.0),
          prefix_(feeder ? "OUT." : "IN.") {
        static constexpr double one[3] = {1, 1, 1}, roomy[3] = {2048, 2048, 16};
        cfg_FP64& value = add_number("VALUE", false, 0, 0, 65535, 1);
        size_ = &add_size("SIZE", one, one, roomy);
        type_ = &add_menu("TYPE", false, {"UINT8", "UINT16"});
        for (int k = 1; k <= 8; ++k)
            add_port(feeder ? port::direction::out : port::direction::in, value, *size_, *type_,
                     prefix_ + std::to_string(k));
    }
    port& at(int k) { return port_at(k - 1); }
    // A probe input takes the shape of the output it listens to.
    void adopt_shape(const port& p) {
        size_->copy_from(p.size_config());
        type_->select_by_name(p.type_name());
    }
    outcome fire() override { return finish_fire(); }

  private:
    std::string prefix_;
    cfg_FP64* size_ = nullptr;
    cfg_menu* type_ = nullptr;
};

inline void connect(port& a, port& b) {
    outcome made = port::connect(a, b);
    ASSERT_TRUE(made) << made.message();
}

inline void hold(component& c, const std::string& input, matrix_ptr m) {
    outcome held = port_of(c, input).hold(m);
    ASSERT_TRUE(held) << input << ": " << held.message();
}

// A component under test: inputs connected to the feeder, outputs to the probe.
template <class C> struct component_rig {
    // The program the subject belongs to: its random generator, its wave phase.
    context program;
    run_context network{&program, nullptr};
    C subject;
    helper source{true};
    helper tap{false};
    int next_feed = 1;

    component_rig() { subject.set_context(&network); }

    void listen(const std::string& input) {
        connect(source.at(next_feed++), port_of(subject, input));
    }
    // Output `name` goes to the probe's IN.k.
    void watch(const std::string& name, int k) { connect(port_of(subject, name), tap.at(k)); }
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
        outcome ready = subject.preprepare();
        if (ready)
            ready = subject.prepare();
        ASSERT_TRUE(ready) << ready.message();
        tap.adopt_shape(port_of(subject, shaped_like));
    }
    void fire_once() {
        outcome fired = subject.fire();
        ASSERT_TRUE(fired) << fired.message();
        subject.clear_fired();
    }
    const matrix* got(int k) {
        return tap.at(k).holds_matrix() ? &tap.at(k).get_matrix() : nullptr;
    }
    list values(int k) { return got(k) != nullptr ? values_of(*got(k)) : list{}; }
};

} // namespace zoetra::testing
