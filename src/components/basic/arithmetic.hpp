#pragma once
// Element-wise arithmetic on control vectors and planes: the weighted sum,
// the product with a factor, and the inversion within the value range.
#include "engine/component.hpp"

namespace zoetra::basic {

// What SUM and MULTIPLY share: "SIZE", "VALUE" and "TYPE" for the inputs and
// outputs, then a control vector ("SIZE.CONTROL", "VALUE.CONTROL",
// "TYPE.CONTROL") as long as the number of connected inputs.
class control_weighted : public component {
  public:
    // The value range follows the element type; "SIZE.CONTROL" x counts the
    // connected inputs.
    bool preprepare(std::string& error) override;

  protected:
    explicit control_weighted(const char* name);
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
    bool prepare(std::string& error) override;
    bool fire(std::string& error) override;

  private:
    int leading_inputs() const;
    double weight(int k, const matrix* control) const;

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
    bool fire(std::string& error) override;

  private:
    double factor(int k, const matrix* control) const;
};

// out = hi - in + lo, with lo and hi the range of the input's value config.
class INVERSE : public component {
  public:
    INVERSE();
    bool fire(std::string& error) override;
};

} // namespace zoetra::basic
