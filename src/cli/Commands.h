#pragma once
// The subcommands of the fvn program. Each takes the arguments after its name and returns the
// process exit status: 0 success, 1 the work failed (or found nothing), 2 a usage error.
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int RunWriteCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunDrivesCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunCleanupCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunSearchCommand(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace cli
