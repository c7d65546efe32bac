#pragma once
// Element-wise arithmetic on control vectors and planes: the weighted sum,
// the product with a factor, and the inversion within the value range.
#include "engine/component.hpp"

#include <array>

namespace zoetra::basic {

// What SUM and MULTIPLY share: "SIZE", "VALUE" and "TYPE" for the inputs and
// outputs, then a control vector ("SIZE.CONTROL", "VALUE.CONTROL",
// "TYPE.CONTROL") as long as the number of connected inputs.
class control_weighted : public component {
  public:
    static constexpr int channel_count = 4;

    // The value range follows the element type; "SIZE.CONTROL" x counts the
    // connected inputs.
    outcome preprepare() override;

  protected:
    explicit control_weighted(const char* name);
    // Registers the control input and the inputs "IN.1" to "IN.4".
    void add_inputs(const char* control_name);
    // Element index of the control vector scaled by the maximum of
    // "VALUE.CONTROL"; 0 when the vector is too short or the maximum is 0.
    double scaled_control(const matrix& control, int index) const;
    // The control vector when its input is connected, else none.
    const matrix* control_vector() const;

    cfg_FP64& size_;
    cfg_FP64& value_;
    cfg_menu& type_;
    cfg_FP64& control_size_;
    cfg_FP64& control_value_;
    cfg_menu& control_type_;
    port* control_ = nullptr;
    std::array<port*, channel_count> inputs_{};
};

// The weighted mean of up to four inputs. The weights are "WEIGHT.1" to
// "WEIGHT.4", or, with "CONTROL.SUM" connected, the control vector scaled by
// the maximum of "VALUE.CONTROL".
//
// Inputs are used from "IN.1" upward while they are connected: an input
// after a gap (IN.1 and IN.3 connected, IN.2 not) takes no part in the sum.
class SUM : public control_weighted {
  public:
    SUM();
    outcome prepare() override;
    outcome fire() override;

  private:
    int leading_inputs() const;
    double weight(int k, const matrix* control) const;

    std::array<cfg_FP64*, channel_count> weights_{};
    port* out_ = nullptr;
    int input_count_ = 0;
};

// Up to four channels IN.k -> OUT.k, each multiplied by "CONSTANT.k" (and,
// with "CONTROL.MULTIPLY" connected, by control element k - 1 scaled by the
// maximum of "VALUE.CONTROL"), limited to the element range. A channel whose
// input is not connected is absent: it makes no product and its output sends
// its fill value when connected.
class MULTIPLY : public control_weighted {
  public:
    MULTIPLY();
    outcome fire() override;

  private:
    double factor(int k, const matrix* control) const;

    std::array<cfg_FP64*, channel_count> constants_{};
    std::array<port*, channel_count> outputs_{};
};

// out = hi - in + lo, with lo and hi the range of the input's value config.
class INVERSE : public component {
  public:
    INVERSE();
    outcome fire() override;

  private:
    cfg_FP64& value_;
    cfg_FP64& size_;
    cfg_menu& type_;
    port& out_;
    port& in_;
};

} // namespace zoetra::basic
