#include "tools/mcisend/Mcisend.h"

#include <istream>
#include <ostream>

#include "platform/mci/MciErrors.h"

namespace tavrelo::mcisend {
namespace {

constexpr const char* kUsageText =
    "usage: mcisend [COMMAND ...]\n"
    "Sends each MCI command string to Tavrelo2's CD drives and prints its reply,\n"
    "an empty line when it has none, or the error code and its text. With no\n"
    "COMMAND, reads one command a line from standard input (blank lines are\n"
    "skipped). Exit status: 0 all succeeded, 1 some failed, 2 usage error.\n"
    "Use -- before a command that starts with '-'.\n";

// The commands the arguments name: everything after a leading "--".
std::vector<std::string> commandsOf(const std::vector<std::string>& args) {
  if (!args.empty() && args.front() == "--") return {args.begin() + 1, args.end()};
  return args;
}

bool send(mci::MciSession& session, const std::string& command, std::ostream& out) {
  const mci::Reply reply = session.send(command);
  if (reply.code == mci::err::kNone) {
    out << reply.text << '\n';
    return true;
  }
  out << "error " << reply.code;
  if (const char* text = mci::errorText(reply.code)) out << ": " << text;
  out << '\n';
  return false;
}

bool blank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

bool handleOptions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   int& code) {
  if (args.empty() || args.front() == "--") return false;
  const std::string& first = args.front();
  if (first == "-h" || first == "--help") {
    out << kUsageText;
    code = kAllSucceeded;
    return true;
  }
  for (const std::string& arg : args) {
    if (!arg.empty() && arg[0] == '-') {
      err << "mcisend: unknown option " << arg << '\n' << kUsageText;
      code = kUsage;
      return true;
    }
  }
  return false;
}

int runMcisend(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err, mci::MciSession& session) {
  int code = kAllSucceeded;
  if (handleOptions(args, out, err, code)) return code;
  bool failed = false;
  const std::vector<std::string> commands = commandsOf(args);
  if (commands.empty() && !(!args.empty() && args.front() == "--")) {
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (blank(line)) continue;
      failed = !send(session, line, out) || failed;
      out.flush();
    }
  } else {
    for (const std::string& command : commands) {
      failed = !send(session, command, out) || failed;
      out.flush();
    }
  }
  session.closeAll();
  return failed ? kSomeFailed : kAllSucceeded;
}

}  // namespace tavrelo::mcisend
