// fvn: the headless companion of the writer and the inspector, for scripts and servers.
#include <iostream>
#include <string>

#include "cli/Commands.h"

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage: fvn COMMAND [ARGUMENTS]\n"
           "\n"
           "Commands:\n"
           "  write (--text TEXT | --file FILE) DRIVE...   write the watermark over the free space\n"
           "  drives                                      list the drives and their sizes\n"
           "  search [--from SECTOR] [--backward] TEXT VOLUME\n"
           "                                              find the watermark on the raw volume\n"
           "  cleanup [--yes]                             delete leftover temporary files\n"
           "\n"
           "A DRIVE is a letter (E or E:) or any path on a mounted volume.\n"
           "Run 'fvn COMMAND --help' for the options of a command.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(std::cerr);
        return 2;
    }
    const std::string command = argv[1];
    const cli::Args args(argv + 2, argv + argc);
    if (command == "write") return cli::RunWriteCommand(args, std::cout, std::cerr);
    if (command == "drives") return cli::RunDrivesCommand(args, std::cout, std::cerr);
    if (command == "search") return cli::RunSearchCommand(args, std::cout, std::cerr);
    if (command == "cleanup") return cli::RunCleanupCommand(args, std::cout, std::cerr);
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(std::cout);
        return 0;
    }
    std::cerr << "fvn: unknown command '" << command << "'\n\n";
    PrintUsage(std::cerr);
    return 2;
}
