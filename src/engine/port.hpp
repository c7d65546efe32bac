#pragma once
// A named input or output of a component. Its shape is not stored: it points
// at three configs of its component (fill value and element range, sizes,
// element type), so editing or binding those configs reshapes the port.
#include "base/outcome.hpp"
#include "engine/config.hpp"
#include "engine/description.hpp"
#include "engine/element.hpp"
#include "engine/matrix.hpp"

#include <cstdint>
#include <string>

namespace zoetra {

class component;

class port {
  public:
    enum class direction { in, out };

    port(component* owner, direction dir, cfg_FP64& value, cfg_FP64& size, cfg_menu& type,
         std::string name, double version);
    ~port();
    port(const port&) = delete;
    port& operator=(const port&) = delete;

    component* owner() const { return owner_; }
    direction dir() const { return direction_; }
    bool is_input() const { return direction_ == direction::in; }
    bool connected() const { return peer_ != nullptr; }
    port* peer() const { return peer_; }
    bool holds_matrix() const { return matrix_ != nullptr; }
    const std::string& name() const { return description_.name; }
    description& desc() { return description_; }
    const description& desc() const { return description_; }

    const std::string& type_name() const { return type_->selected_name(); }
    // The size config's value i truncated toward zero to 16 bits.
    std::uint16_t size(int i) const;
    double value() const { return value_->value(0); }
    double value_minimum() const { return value_->minimum(0); }
    double value_maximum() const { return value_->maximum(0); }
    cfg_FP64& value_config() const { return *value_; }
    cfg_FP64& size_config() const { return *size_; }
    cfg_menu& type_config() const { return *type_; }

    // A new 3-dimensional matrix of the port's shape (none for an unknown
    // type name); with fill, every element is the fill value in the element width.
    matrix_ptr make_matrix(bool fill) const;
    // The held matrix; when none is held, a fill-value matrix is made and held.
    matrix& get_matrix();
    // An input audits first and refuses (the caller keeps m) a matrix that
    // fails; an output takes it unchecked.
    outcome hold(matrix_ptr& m);
    void release() { matrix_.reset(); }
    // Hands the held matrix (or a fill-value one) to the connected input.
    outcome send();
    // Connects two ports, or says why not.
    static outcome connect(port& a, port& b);
    // Checks type, size and element values against this port. A refused
    // matrix is reported (audit_report) to the diagnostics of the program
    // the port's network belongs to, and the reason comes back.
    outcome audit(const matrix& m) const;
    // The report of a refused matrix as the program prints it (the failing
    // values, the port and the matrix); empty when m passes.
    std::string audit_report(const matrix& m) const;

    // The port's description, shape and state, as the program prints it.
    std::string dump_text() const;
    // Reads title, class, id and idref from the component element's "in" and
    // "out" children named like this port.
    void read(const element& component_element);

  private:
    // The reason m fails this port ("matrix fails size"), or none; the lines
    // the program prints about the failing detail are added to detail.
    std::string failure_of(const matrix& m, std::string& detail) const;

    component* owner_;
    direction direction_;
    cfg_FP64* value_;
    cfg_FP64* size_;
    cfg_menu* type_;
    port* peer_ = nullptr;
    matrix_ptr matrix_;
    description description_;
};

} // namespace zoetra
