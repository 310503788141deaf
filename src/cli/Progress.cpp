#include "cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace cli {

namespace {

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A redraw on a terminal every tenth of a second is smooth; a log gets a line every 5 s.
constexpr double kTerminalInterval = 0.1;
constexpr double kLogInterval = 5.0;

}  // namespace

std::string FormatDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "--:--";
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, (total / 60) % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

ProgressReporter::ProgressReporter(std::ostream& out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(clock ? std::move(clock) : Clock(SteadySeconds)) {}

void ProgressReporter::Start(const std::string& label, int64_t total) {
    label_ = label;
    total_ = total;
    last_ = 0;
    start_ = clock_();
    lastDraw_ = terminal_ ? -1e9 : start_;  // a log gets its first line after the first interval
    drawn_ = false;
}

std::string ProgressReporter::Line(int64_t done, double elapsed) const {
    const double fraction = total_ > 0 ? std::clamp(static_cast<double>(done) / static_cast<double>(total_), 0.0, 1.0) : 1.0;
    const double mb = static_cast<double>(done) / 1e6;
    const double rate = elapsed > 0 ? mb / elapsed : 0.0;
    const double left = rate > 0 ? (static_cast<double>(total_ - done) / 1e6) / rate : -1;
    char text[160];
    if (terminal_) {
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(fraction * kWidth);
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(kWidth - filled), '.');
        std::snprintf(text, sizeof text, "%s [%s] %3d%%  %8.1f MB/s  %s left", label_.c_str(), bar.c_str(),
                      static_cast<int>(fraction * 100), rate, FormatDuration(left).c_str());
    } else {
        std::snprintf(text, sizeof text, "%s %d%% (%.0f of %.0f MB), %.1f MB/s, %s left", label_.c_str(),
                      static_cast<int>(fraction * 100), mb, static_cast<double>(total_) / 1e6, rate,
                      FormatDuration(left).c_str());
    }
    return text;
}

void ProgressReporter::Draw(int64_t done, double now) {
    const std::string line = Line(done, now - start_);
    if (terminal_)
        out_ << '\r' << line << "\x1b[K" << std::flush;
    else
        out_ << line << '\n' << std::flush;
    lastDraw_ = now;
    drawnValue_ = done;
    drawn_ = true;
}

void ProgressReporter::Update(int64_t done) {
    last_ = done;
    const double now = clock_();
    if (now - lastDraw_ >= (terminal_ ? kTerminalInterval : kLogInterval)) Draw(done, now);
}

void ProgressReporter::Finish() {
    if (terminal_) {
        Draw(last_, clock_());
        out_ << '\n' << std::flush;
    } else if (drawn_ && drawnValue_ != last_) {
        Draw(last_, clock_());
    }
}

}  // namespace cli
