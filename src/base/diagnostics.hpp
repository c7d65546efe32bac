#pragma once
// Where the diagnostic output the system defines goes: the port audit report,
// the matrix and description dumps, the TEXT and test components' lines (the
// program's standard output) and the effect loader's "BAD file name" (its
// standard error). Nothing below the programs writes to a stream itself: it
// writes to the sink its context holds, which the programs connect to their
// standard streams.
#include <string>
#include <string_view>

namespace zoetra {

class diagnostics {
  public:
    virtual ~diagnostics() = default;
    // Text for standard output, as it is.
    virtual void out(std::string_view text) = 0;
    // Text for standard error, as it is.
    virtual void err(std::string_view text) = 0;
};

// The sink the programs connect: the process's standard output and standard
// error. The one place below the programs that writes to them.
diagnostics& standard_streams();

// A sink that keeps what it is given (tests, and callers that show it elsewhere).
class collected_diagnostics : public diagnostics {
  public:
    void out(std::string_view text) override { out_ += text; }
    void err(std::string_view text) override { err_ += text; }
    const std::string& output() const { return out_; }
    const std::string& errors() const { return err_; }
    void clear() { out_.clear(), err_.clear(); }

  private:
    std::string out_;
    std::string err_;
};

} // namespace zoetra
