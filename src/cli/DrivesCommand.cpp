// fvn drives: the drive list of the writer's drive page, as a table.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "writer/DriveRows.h"

namespace cli {

namespace {

void PrintDrivesUsage(std::ostream& out) {
    out << "Usage: fvn drives\n"
           "\n"
           "Lists every drive the writer offers, in letter order, with the columns of its drive\n"
           "page (the File System is shown for fixed drives only) and the drive's mount point.\n";
}

// Columns are measured in characters, not bytes: locale separators and names may be UTF-8.
size_t DisplayWidth(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Padded(const std::string& text, size_t width, bool right) {
    const std::string fill(width > DisplayWidth(text) ? width - DisplayWidth(text) : 0, ' ');
    return right ? fill + text : text + fill;
}

}  // namespace

int RunDrivesCommand(const Args& args, std::ostream& out, std::ostream& err) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            PrintDrivesUsage(out);
            return 0;
        }
        err << "fvn drives: unexpected argument '" << a << "'\n";
        PrintDrivesUsage(err);
        return 2;
    }

    struct Column {
        const char* caption;
        bool right;
    };
    const std::vector<Column> columns{{"Drive", false},      {"Name", false},       {"Type", false},
                                      {"Total Size", true},  {"Free Space", true},  {"File System", false},
                                      {"Mount Point", false}};
    std::vector<std::vector<std::string>> table;
    for (const writer::TDriveRow& row : writer::ReadDriveRows()) {
        table.push_back({row.RootPath.substr(0, 2), row.Name, row.TypeName, row.TotalSize, row.FreeSpace,
                         row.FileSystem, row.MountPoint});
    }
    if (table.empty()) {
        out << "No drives found.\n";
        return 1;
    }

    std::vector<size_t> widths;
    for (const Column& c : columns) widths.push_back(DisplayWidth(c.caption));
    for (const auto& cells : table) {
        for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(cells[i]));
    }
    auto printLine = [&](const std::vector<std::string>& cells) {
        std::string line;
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) line += "  ";
            line += Padded(cells[i], widths[i], columns[i].right);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    };
    std::vector<std::string> header;
    for (const Column& c : columns) header.emplace_back(c.caption);
    printLine(header);
    for (const auto& cells : table) printLine(cells);
    return 0;
}

}  // namespace cli
