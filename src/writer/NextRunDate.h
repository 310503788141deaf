#pragma once
// "nextrun.dat" next to the program: the date of the next recommended run, seven days after
// the start, as year, month and day on three CR LF-terminated lines. Nothing reads it back.
#include <chrono>
#include <string>

namespace writer {

inline constexpr const char* NextRunFileName = "nextrun.dat";

// Today's calendar date in local time.
[[nodiscard]] std::chrono::year_month_day LocalToday();

// The file's content for a start on the given day: "2024\r\n3\r\n3\r\n" for 25 February 2024.
[[nodiscard]] std::string NextRunDateText(std::chrono::year_month_day startDay);

// Creates or truncates <programFolder>/nextrun.dat and writes the date. Throws
// std::runtime_error when the file cannot be created or written.
void WriteNextRunDate(const std::string& programFolder, std::chrono::year_month_day startDay);

}  // namespace writer
