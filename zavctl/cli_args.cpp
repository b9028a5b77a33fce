#include "zavctl/cli_args.h"

#include <algorithm>
#include <set>

namespace zav::ctl {

namespace {

struct CommandRule {
  const char* name;
  std::size_t minOperands;
  std::size_t maxOperands;
  std::set<std::string> options;
};

const std::vector<CommandRule>& Rules() {
  static const std::vector<CommandRule> rules = {
      {"list", 0, 0, {"--json"}},
      {"show", 1, 1, {"--json"}},
      {"backup", 1, 1, {"-o"}},
      {"diff", 2, 2, {}},
      {"restore", 2, 2, {"--yes"}},
      {"report", 0, 1, {"-o", "--location", "--all"}},
      {"firmware", 2, 2, {"--yes"}},
  };
  return rules;
}

}  // namespace

const char* UsageText() {
  return "usage: zavctl COMMAND [ARGUMENTS]\n"
         "\n"
         "  list [--json]                          controllers that answer the search\n"
         "  show DEV|FILE [--json]                 bus devices and configuration\n"
         "  backup DEV -o FILE                     save the configuration (.zavcfg)\n"
         "  diff DEV FILE | diff FILE FILE         differences; exit 0 equal, 1 different\n"
         "  restore DEV FILE [--yes]               show the differences; with --yes write\n"
         "                                         the backup and check it was taken\n"
         "  report DEV [-o FILE] [--location TEXT] the configuration report\n"
         "  report --all [-o DIR] [--location TEXT]\n"
         "                                         one report per readable door controller\n"
         "  firmware DEV FILE [--yes]              firmware upload (528-byte blocks)\n"
         "\n"
         "DEV is a controller name (K105_00065) or its IPv4 address.\n"
         "Exit status: 0 success, 1 failure, 2 wrong usage; diff: 0 equal, 1 different,\n"
         "2 trouble. See zavctl(1).\n";
}

CliArgs ParseArgs(const std::vector<std::string>& argv) {
  CliArgs a;
  std::vector<std::string> words;
  std::set<std::string> given;
  bool optionsEnd = false;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& w = argv[i];
    if (optionsEnd || w.empty() || w[0] != '-' || w == "-") {
      words.push_back(w);
      continue;
    }
    if (w == "--") {
      optionsEnd = true;
      continue;
    }
    auto value = [&]() -> std::string {
      if (i + 1 >= argv.size()) throw UsageError(w + " needs a value");
      return argv[++i];
    };
    if (w == "-h" || w == "--help") {
      a.help = true;
    } else if (w == "--version") {
      a.version = true;
    } else if (w == "--json") {
      a.json = true;
    } else if (w == "--yes" || w == "-y") {
      a.yes = true;
      given.insert("--yes");
      continue;
    } else if (w == "--all") {
      a.all = true;
    } else if (w == "-o" || w == "--output") {
      if (a.output) throw UsageError("-o given twice");
      a.output = value();
      given.insert("-o");
      continue;
    } else if (w.rfind("--output=", 0) == 0) {
      if (a.output) throw UsageError("-o given twice");
      a.output = w.substr(9);
      given.insert("-o");
      continue;
    } else if (w == "--location") {
      a.location = value();
    } else if (w.rfind("--location=", 0) == 0) {
      a.location = w.substr(11);
      given.insert("--location");
      continue;
    } else {
      throw UsageError("unknown option " + w);
    }
    given.insert(w);
  }
  if (a.help || a.version) return a;
  if (words.empty()) throw UsageError("no command given");
  a.command = words.front();
  a.operands.assign(words.begin() + 1, words.end());
  const auto rule = std::find_if(Rules().begin(), Rules().end(),
                                 [&](const CommandRule& r) { return a.command == r.name; });
  if (rule == Rules().end()) throw UsageError("unknown command " + a.command);
  for (const std::string& opt : given) {
    if (rule->options.count(opt) == 0) throw UsageError(a.command + " does not take " + opt);
  }
  std::size_t minOps = rule->minOperands;
  std::size_t maxOps = rule->maxOperands;
  if (a.command == "report") {
    minOps = maxOps = a.all ? 0 : 1;
  }
  if (a.operands.size() < minOps) throw UsageError(a.command + ": missing operand");
  if (a.operands.size() > maxOps)
    throw UsageError(a.command + ": unexpected operand " + a.operands[maxOps]);
  if (a.command == "backup" && !a.output) throw UsageError("backup needs -o FILE");
  return a;
}

}  // namespace zav::ctl
