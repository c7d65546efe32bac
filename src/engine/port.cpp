#include "engine/port.hpp"

#include "base/utility.hpp"
#include "engine/component.hpp"
#include "engine/context.hpp"
#include "engine/numeric.hpp"

#include <cstring>

namespace zoetra {

port::port(component* owner, direction dir, cfg_FP64& value, cfg_FP64& size, cfg_menu& type,
           std::string name, double version)
    : owner_(owner), direction_(dir), value_(&value), size_(&size), type_(&type) {
    description_.type = "PORT";
    description_.class_name = dir == direction::in ? "PRT_IN" : "PRT_OUT";
    description_.name = name;
    description_.id = std::move(name);
    description_.version = version;
}

port::~port() = default;

std::uint16_t port::size(int i) const {
    return i < size_->count() ? truncate_to_u16(size_->value(i)) : 1;
}

matrix_ptr port::make_matrix(bool fill) const {
    int element_size;
    if (type_name() == uint8_type)
        element_size = 1;
    else if (type_name() == uint16_type)
        element_size = 2;
    else
        return nullptr;
    const std::uint16_t sizes[3] = {size(0), size(1), size(2)};
    if (!fill)
        return std::make_unique<matrix>(3, sizes, element_size, type_name());
    std::uint16_t fill_value = truncate_to_u16(value());
    std::uint8_t bytes[2];
    if (element_size == 1)
        bytes[0] = static_cast<std::uint8_t>(fill_value);
    else
        std::memcpy(bytes, &fill_value, 2);
    return std::make_unique<matrix>(3, sizes, element_size, type_name(), bytes);
}

matrix& port::get_matrix() {
    if (!matrix_) {
        matrix_ = make_matrix(true);
        if (!matrix_) {
            // A port of an unknown element type still answers with an
            // (empty-typed) matrix so that readers never see none.
            const std::uint16_t sizes[3] = {size(0), size(1), size(2)};
            const std::uint8_t zero = 0;
            matrix_ = std::make_unique<matrix>(3, sizes, 1, type_name(), &zero);
        }
    }
    return *matrix_;
}

outcome port::hold(matrix_ptr& m) {
    if (!m)
        return outcome::failure("there is no matrix to hold");
    if (is_input())
        if (outcome passed = audit(*m); !passed)
            return passed;
    matrix_ = std::move(m);
    return outcome::success();
}

outcome port::send() {
    if (!connected())
        return outcome::success();
    if (!matrix_)
        matrix_ = make_matrix(true);
    if (!matrix_)
        return outcome::failure("matrix fails type");
    if (outcome passed = audit(*matrix_); !passed)
        return passed;
    return peer_->hold(matrix_);
}

outcome port::connect(port& a, port& b) {
    const char* reason = nullptr;
    if (a.owner_ == b.owner_)
        reason = "same component";
    else if (a.peer_ != nullptr)
        reason = "source port already connected";
    else if (b.peer_ != nullptr)
        reason = "destination port already connected";
    else if (a.direction_ == b.direction_)
        reason = "same direction";
    if (reason != nullptr)
        return outcome::failure(reason);
    a.peer_ = &b;
    b.peer_ = &a;
    return outcome::success();
}

outcome port::audit(const matrix& m) const {
    std::string detail;
    const std::string reason = failure_of(m, detail);
    if (reason.empty())
        return outcome::success();
    context* program = owner_ != nullptr ? owner_->program() : nullptr;
    diagnostics& sink = program != nullptr ? program->diagnostics_sink() : standard_streams();
    sink.out(audit_report(m));
    return outcome::failure(reason);
}

std::string port::failure_of(const matrix& m, std::string& detail) const {
    if (m.type_name() != type_name())
        return "matrix fails type";
    if (m.size(0) != size(0) || m.size(1) != size(1) || m.size(2) != size(2)) {
        detail += format("%d x %d x %d != %d x %d x %d\n", m.size(0), m.size(1), m.size(2), size(0),
                         size(1), size(2));
        return "matrix fails size";
    }
    bool wide = m.is_uint16();
    if (!wide && !m.is_uint8())
        return {};
    unsigned mask = wide ? 0xFFFFu : 0xFFu;
    unsigned low = truncate_to_u16(value_minimum()) & mask;
    unsigned high = truncate_to_u16(value_maximum()) & mask;
    // A range over every value of the element width passes every element.
    if (low == 0 && high == mask)
        return {};
    // Layout order is z, then y, then x: a plain walk over the elements.
    for (std::uint32_t i = 0; i < m.element_count(); ++i) {
        unsigned v;
        if (wide) {
            std::uint16_t w;
            std::memcpy(&w, m.data() + 2 * std::size_t(i), 2);
            v = w;
        } else {
            v = m.data()[i];
        }
        if (v < low || v > high) {
            if (wide)
                detail += format("offending U16_value:%d(%d-%d)\n", int(v), int(low), int(high));
            else
                detail += format("offending U8_value:%d\n", int(v));
            return "matrix fails value";
        }
    }
    return {};
}

std::string port::audit_report(const matrix& m) const {
    std::string text;
    const std::string reason = failure_of(m, text);
    if (reason.empty())
        return {};
    if (owner_ != nullptr)
        text += format("***** \"%s\" ****** FAILED AUDIT:%s ******** \"%s\" *********\n",
                       owner_->desc().name.c_str(), reason.c_str(), name().c_str());
    else
        text += format("*********** FAILED AUDIT:%s ******** \"%s\" *********\n", reason.c_str(),
                       name().c_str());
    text += "------PORT------\n";
    text += dump_text();
    text += "------MATRIX------\n";
    text += m.dump_text(0);
    text += std::string(69, '*') + "\n";
    return text;
}

std::string port::dump_text() const {
    std::string text = description_.dump_text();
    text += format("Current Matrix Type:%s\n", type_name().c_str());
    text += value_->dump_text(0);
    text += size_->dump_text(0);
    if (peer_ != nullptr)
        text += format("Connected Port:%s", peer_->desc().id.c_str());
    else
        text += "Connected Port:none\n";
    if (matrix_) {
        text += "Loaded Matrix:yes\n";
        text += matrix_->dump_text(0);
    } else {
        text += "Loaded Matrix:none\n";
    }
    text += format("DIRECTION:%s\n", direction_ == direction::out ? "out" : "in");
    return text;
}

void port::read(const element& component_element) {
    for (const auto& child : component_element.children) {
        bool in = same_name(child->tag, "in");
        if (!in && !same_name(child->tag, "out"))
            continue;
        const std::string& port_name = child->attribute("name");
        if (!element::present(port_name) || !same_name(port_name, name()))
            continue;
        description_.class_name = in ? "PRT_IN" : "PRT_OUT";
        child->take_attribute("title", description_.title);
        child->take_attribute("type", description_.class_name);
        child->take_attribute("id", description_.id);
        if (in)
            child->take_attribute("idref", description_.idref);
    }
}

} // namespace zoetra
