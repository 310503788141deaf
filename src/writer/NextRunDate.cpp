#include "writer/NextRunDate.h"

#include <ctime>
#include <stdexcept>

#include "common/PathUtils.h"
#include "platform/Platform.h"

namespace writer {

std::chrono::year_month_day LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

std::string NextRunDateText(std::chrono::year_month_day startDay) {
    // Calendar days, so a change of daylight saving time in the week does not move the date.
    const std::chrono::year_month_day next{std::chrono::sys_days{startDay} + std::chrono::days{7}};
    return std::to_string(static_cast<int>(next.year())) + "\r\n" +
           std::to_string(static_cast<unsigned>(next.month())) + "\r\n" +
           std::to_string(static_cast<unsigned>(next.day())) + "\r\n";
}

void WriteNextRunDate(const std::string& programFolder, std::chrono::year_month_day startDay) {
    platform::IPlatform& os = platform::Platform();
    const std::string path = common::JoinPath(programFolder, NextRunFileName);
    const std::string text = NextRunDateText(startDay);
    const platform::HANDLE file = os.CreateFile(path, platform::GENERIC_WRITE, 0, platform::CREATE_ALWAYS,
                                                platform::FILE_ATTRIBUTE_NORMAL);
    if (file == platform::INVALID_HANDLE_VALUE)
        throw std::runtime_error("Cannot create file \"" + path + "\". " + platform::ErrorText(os.GetLastError()));
    uint32_t written = 0;
    const bool ok = os.WriteFile(file, text.data(), static_cast<uint32_t>(text.size()), written) &&
                    written == text.size();
    os.CloseHandle(file);
    if (!ok) throw std::runtime_error("Stream write error");
}

}  // namespace writer
