#pragma once
// Test support for components: a feeder whose outputs give component inputs
// a peer, a probe that receives what component outputs send, planes built
// from value lists, a rig around one component, and effect networks loaded
// from effect-file text.
#include "components/basic/register.hpp"
#include "engine/component.hpp"
#include "engine/script.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace zoetra::testing {

using list = std::vector<unsigned>;

// Both helper components: one value/size/type trio that fits any plane.
class trio_component : public component {
  public:
    trio_component(const char* name) : component(kind_input, name, 1.0) {
        static constexpr double one[3] = {1, 1, 1}, roomy[3] = {2048, 2048, 16};
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", one, one, roomy);
        add_menu("TYPE", false, {"UINT8", "UINT16"});
    }
    bool fire(std::string& error) override { return finish_fire(error, true); }
};

// Only a peer for component inputs: tests hand the inputs their matrices.
class feeder : public trio_component {
  public:
    feeder() : trio_component("FEEDER") {
        for (int k = 1; k <= 8; ++k)
            add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT." + std::to_string(k));
    }
    port& out(int k) { return find_port("OUT." + std::to_string(k)); }
};

// Receives what component outputs send; its inputs take the shape of the
// port they listen to (adopt_shape). In effect files it stands for "TEST"
// and keeps a copy of every matrix it received in each run.
class probe : public trio_component {
  public:
    probe() : trio_component("PROBE") {
        for (int k = 1; k <= 4; ++k)
            add_port(port::direction::in, "VALUE", "SIZE", "TYPE", "IN." + std::to_string(k));
    }
    port& in(int k) { return find_port("IN." + std::to_string(k)); }
    void adopt_shape(const port& p) {
        number("SIZE").copy_from(p.size_config());
        menu("TYPE").select_by_name(p.type_name());
    }
    const matrix* received(int k) { return in(k).holds_matrix() ? &in(k).get_matrix() : nullptr; }
    bool fire(std::string& error) override {
        for (int k = 1; k <= 4; ++k)
            if (in(k).holds_matrix())
                history[k].push_back(in(k).get_matrix().clone());
        return finish_fire(error, true);
    }
    std::map<int, std::vector<matrix_ptr>> history;
};

inline void connect(port& a, port& b) {
    std::string error;
    ASSERT_TRUE(port::connect(a, b, &error)) << error;
}

// A width x height matrix of the given type holding values row by row.
inline matrix_ptr plane(const std::string& type, int width, int height, const list& values) {
    const std::uint16_t sizes[3] = {std::uint16_t(width), std::uint16_t(height), 1};
    const bool wide = type == "UINT16";
    auto m = std::make_unique<matrix>(3, sizes, wide ? 2 : 1, type);
    for (std::size_t i = 0; i < m->element_count(); ++i) {
        const auto x = std::uint16_t(i % width), y = std::uint16_t(i / width);
        const unsigned v = i < values.size() ? values[i] : 0;
        if (wide)
            m->u16(x, y) = std::uint16_t(v);
        else
            m->u8(x, y) = std::uint8_t(v);
    }
    return m;
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

// A component under test: inputs connected to a feeder, outputs to a probe.
template <class C> struct component_rig {
    C subject;
    feeder source;
    probe tap;
    int next_feed = 1;

    void listen(const std::string& input) {
        connect(source.out(next_feed++), subject.find_port(input));
    }
    // Output `name` goes to the probe's IN.k.
    void watch(const std::string& name, int k) { connect(subject.find_port(name), tap.in(k)); }
    void give(const std::string& input, matrix_ptr m) {
        std::string error;
        ASSERT_TRUE(subject.find_port(input).hold(m, error)) << error;
    }
    // preprepare and prepare; the probe then takes the shape of `shaped_like`.
    void begin(const std::string& shaped_like) {
        std::string error;
        ASSERT_TRUE(subject.preprepare(error)) << error;
        ASSERT_TRUE(subject.prepare(error)) << error;
        tap.adopt_shape(subject.find_port(shaped_like));
    }
    void fire_once() {
        std::string error;
        ASSERT_TRUE(subject.fire(error)) << error;
        subject.clear_fired();
    }
    const matrix* got(int k) { return tap.received(k); }
    list values(int k) { return got(k) != nullptr ? values_of(*got(k)) : list{}; }
};

// An effect network loaded from effect-file text written to a temporary
// file, built by a factory with the probe as "TEST".
class network {
  public:
    explicit network(const std::string& text, void (*more)(component_factory&) = nullptr) {
        define_basic_components(factory_);
        if (more != nullptr)
            more(factory_);
        factory_.define("TEST", [] { return std::make_unique<probe>(); });
        const char* base = std::getenv("ZOETRA_TEST_TMP");
        const auto dir =
            base != nullptr ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(dir);
        static int serial = 0;
        path_ = dir / ("network-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) +
                       ".zoml");
        std::ofstream(path_, std::ios::binary) << text;
        script_ = std::make_unique<script>(path_.string(), 1.0, factory_);
    }
    ~network() {
        script_.reset();
        std::filesystem::remove(path_);
    }
    // Loads, starts and runs the network `runs` times.
    void run(int runs) {
        std::string error;
        ASSERT_TRUE(script_->load(error) && script_->start(error)) << error;
        for (int i = 0; i < runs; ++i)
            ASSERT_TRUE(script_->run(error, false)) << error;
    }
    // What probe `id` received at IN.k, one value list per run.
    std::vector<list> seen(const char* id, int k = 1) {
        std::vector<list> out;
        for (const auto& m : dynamic_cast<probe&>(script_->find_component(id)).history[k])
            out.push_back(values_of(*m));
        return out;
    }

  private:
    component_factory factory_;
    std::filesystem::path path_;
    std::unique_ptr<script> script_;
};

} // namespace zoetra::testing
