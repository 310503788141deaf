#pragma once
// Progress of long work on standard error: a bar that redraws in place on a terminal, a plain
// line every few seconds otherwise (logs, CI).
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace cli {

class ProgressReporter {
public:
    using Clock = std::function<double()>;  // seconds, monotonic

    ProgressReporter(std::ostream& out, bool terminal, Clock clock = {});

    void Start(const std::string& label, int64_t total);
    // Cheap to call often: draws only when enough time has passed.
    void Update(int64_t done);
    // Draws the final state and ends the line.
    void Finish();

    // "1,234.5 MB/s", "0:12 left" ... exposed for tests.
    [[nodiscard]] std::string Line(int64_t done, double elapsed) const;

private:
    void Draw(int64_t done, double now);

    std::ostream& out_;
    bool terminal_;
    Clock clock_;
    std::string label_;
    int64_t total_ = 0;
    int64_t last_ = 0;
    int64_t drawnValue_ = -1;
    double start_ = 0;
    double lastDraw_ = -1e9;
    bool drawn_ = false;
};

[[nodiscard]] std::string FormatDuration(double seconds);

}  // namespace cli
