#pragma once
// Test support for components: a feeder whose outputs give component inputs
// a peer, a probe that receives what component outputs send, matrices built
// from lists of values, and effect networks loaded from effect-file text.
#include "components/basic/register.hpp"
#include "engine/component.hpp"
#include "engine/script.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace zoetra::testing {

inline const std::vector<std::string> any_type = {"UINT8", "UINT16"};
inline constexpr double one[3] = {1, 1, 1};
inline constexpr double roomy[3] = {2048, 2048, 16};

// Only a peer for component inputs: tests hand the inputs their matrices.
class feeder : public component {
  public:
    feeder() : component(kind_input, "FEEDER", 1.0) {
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", one, one, roomy);
        add_menu("TYPE", false, any_type);
        for (int k = 1; k <= 8; ++k)
            add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT." + std::to_string(k));
    }
    bool fire(std::string& error) override { return finish_fire(error, true); }
    port& out(int k) { return find_port("OUT." + std::to_string(k)); }
};

// Receives what component outputs send. Its inputs take the shape of the
// port they listen to (adopt_shape), so the audit passes any matrix a
// component makes correctly. Registered as "TEST" in effect-file networks,
// where every fire keeps a copy of each received matrix.
class probe : public component {
  public:
    probe() : component(kind_output, "PROBE", 1.0) {
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", one, one, roomy);
        add_menu("TYPE", false, any_type);
        for (int k = 1; k <= 4; ++k)
            add_port(port::direction::in, "VALUE", "SIZE", "TYPE", "IN." + std::to_string(k));
    }
    port& in(int k) { return find_port("IN." + std::to_string(k)); }
    void adopt_shape(const port& p) {
        number("SIZE").copy_from(p.size_config());
        menu("TYPE").select_by_name(p.type_name());
    }
    // The matrix that arrived at IN.k and is still held there.
    const matrix* received(int k) {
        port& p = in(k);
        return p.holds_matrix() ? &p.get_matrix() : nullptr;
    }
    bool fire(std::string& error) override {
        for (int k = 1; k <= 4; ++k)
            if (in(k).connected() && in(k).holds_matrix())
                history[k].push_back(in(k).get_matrix().clone());
        return finish_fire(error, true);
    }
    std::map<int, std::vector<matrix_ptr>> history;
};

inline void connect(port& a, port& b) {
    std::string error;
    ASSERT_TRUE(port::connect(a, b, &error)) << error;
}

// A 2-dimensional matrix of the given type and size holding values row by row.
inline matrix_ptr plane(const char* type, std::uint16_t width, std::uint16_t height,
                        const std::vector<unsigned>& values) {
    const std::uint16_t sizes[3] = {width, height, 1};
    const int element_size = std::string(type) == "UINT16" ? 2 : 1;
    auto m = std::make_unique<matrix>(3, sizes, element_size, type);
    for (std::size_t i = 0; i < m->element_count(); ++i) {
        const unsigned v = i < values.size() ? values[i] : 0;
        const auto x = static_cast<std::uint16_t>(i % width);
        const auto y = static_cast<std::uint16_t>(i / width);
        if (element_size == 2)
            m->u16(x, y) = static_cast<std::uint16_t>(v);
        else
            m->u8(x, y) = static_cast<std::uint8_t>(v);
    }
    return m;
}

inline std::vector<unsigned> values_of(const matrix& m) {
    std::vector<unsigned> out;
    for (std::uint16_t z = 0; z < m.size(2); ++z)
        for (std::uint16_t y = 0; y < m.size(1); ++y)
            for (std::uint16_t x = 0; x < m.size(0); ++x)
                out.push_back(m.value_at(x, y, z));
    return out;
}

// Hands a matrix to a component input (which audits it).
inline void feed(port& input, matrix_ptr m) {
    std::string error;
    ASSERT_TRUE(input.hold(m, error)) << error;
}

inline void set_size(component& c, const char* name, double x, double y, double z = 1) {
    cfg_FP64& size = c.number(name);
    size.set_value(0, x);
    size.set_value(1, y);
    size.set_value(2, z);
}

inline void start(component& c) {
    std::string error;
    ASSERT_TRUE(c.preprepare(error)) << error;
    ASSERT_TRUE(c.prepare(error)) << error;
}

inline void fire(component& c) {
    std::string error;
    ASSERT_TRUE(c.fire(error)) << error;
}

// The factory of effect-file networks in tests: every component of this
// library (and of any define function given), with the probe as "TEST".
inline component_factory test_factory(void (*more)(component_factory&) = nullptr) {
    component_factory factory;
    define_basic_components(factory);
    if (more != nullptr)
        more(factory);
    factory.define("TEST", [] { return std::make_unique<probe>(); });
    return factory;
}

using list = std::vector<unsigned>;

// A component under test: some inputs connected to a feeder, some outputs
// to a probe, the rest left open.
template <class C> struct component_rig {
    C subject;
    feeder source;
    probe tap;
    int next_feed = 1;

    // Connects an input of the subject so that it counts as connected.
    void listen(const std::string& input) {
        connect(source.out(next_feed++), subject.find_port(input));
    }
    // Connects output `name` to the probe's IN.k.
    void watch(const std::string& name, int k) { connect(subject.find_port(name), tap.in(k)); }
    void give(const std::string& input, matrix_ptr m) {
        feed(subject.find_port(input), std::move(m));
    }
    // preprepare and prepare; the probe then takes the shape of `shaped_like`.
    void begin(const std::string& shaped_like) {
        start(subject);
        tap.adopt_shape(subject.find_port(shaped_like));
    }
    void fire_once() {
        fire(subject);
        subject.clear_fired();
    }
    const matrix* got(int k) { return tap.received(k); }
    list values(int k) {
        const matrix* m = got(k);
        return m != nullptr ? values_of(*m) : list{};
    }
};

// An effect network loaded from effect-file text written to a temporary file.
class network {
  public:
    explicit network(const std::string& text, void (*more)(component_factory&) = nullptr)
        : factory_(test_factory(more)) {
        const char* base = std::getenv("ZOETRA_TEST_TMP");
        const std::filesystem::path dir =
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

    // Loads and starts the network; the reason of a failure goes to error.
    bool start(std::string& error) { return script_->load(error) && script_->start(error); }
    // One run (one frame).
    void run() {
        std::string error;
        ASSERT_TRUE(script_->run(error, false)) << error;
    }
    script& net() { return *script_; }
    component& part(const char* id) { return script_->find_component(id); }
    probe& tap(const char* id) { return dynamic_cast<probe&>(part(id)); }
    // What probe `id` received at IN.k in each run so far, one value list per run.
    std::vector<std::vector<unsigned>> seen(const char* id, int k = 1) {
        std::vector<std::vector<unsigned>> out;
        for (const auto& m : tap(id).history[k])
            out.push_back(values_of(*m));
        return out;
    }

  private:
    component_factory factory_;
    std::filesystem::path path_;
    std::unique_ptr<script> script_;
};

} // namespace zoetra::testing
