// report: the window's configuration report, for one controller or every readable one.
#include <filesystem>
#include <ostream>

#include "config/cfg_report.h"
#include "config/cp1250.h"
#include "link/uerr.h"
#include "zavctl/commands.h"
#include "zavctl/controller_access.h"
#include "zavctl/report_name.h"

namespace zav::ctl {

namespace {

constexpr std::size_t kLocationMax = 80;  // what the location dialog takes

// A controller the report does not cover: the lift page has no report.
class NoReport : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Location(const Context& c) {
  const std::string text = Utf8ToCp1250(c.args.location.value_or(""));
  if (text.size() > kLocationMax) throw UsageError("--location takes at most 80 characters");
  return text;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// Reads dev and writes its report to path; the lift page has no report.
void WriteReport(UdpDev& dev, const std::string& path, const std::string& location,
                 const ReportDate& date) {
  Loaded m;
  LoadController(dev, m);
  if (m.table.controllerKind != 1)
    throw NoReport(DevName(dev.id) +
                   " is a lift controller; the report covers door controllers only");
  SaveReportFile(path, WriteCfgReport(m.table, m.doors, dev.id, location, date));
}

void Release(UdpDev& dev) {
  if (!dev.session) return;
  try {
    dev.CloseSession();
  } catch (const UErr&) {
    // The station tries again before the program ends.
  }
}

}  // namespace

int RunReport(Context& c) {
  const std::string location = Location(c);
  const ReportDate date = Today();
  const char sep = RegionalDateSeparator();
  Station& st = c.Net();
  if (!c.args.all) {
    UdpDev& dev = st.Resolve(c.args.operands[0]);
    const std::string path =
        c.args.output.value_or(SuggestedReportName(date, sep, dev.id) + ".txt");
    WriteReport(dev, path, location, date);
    c.out << path << "\n";
    return 0;
  }
  if (c.args.output && !std::filesystem::is_directory(*c.args.output)) {
    c.err << "zavctl: " << *c.args.output << " is not a folder\n";
    return 1;
  }
  st.Search();
  UdpDevSet& set = st.set();
  if (set.count == 0) {
    c.err << "zavctl: no controller answered the search\n";
    return 1;
  }
  int failed = 0;
  for (int i = 0; i < set.count; ++i) {
    UdpDev& dev = set.devs[i];
    const std::string name = DevName(dev.id);
    if (!IsController(dev.id)) {
      c.err << "zavctl: " << name << " skipped: not a controller\n";
      continue;
    }
    const std::string path =
        Join(c.args.output.value_or(""), SuggestedReportName(date, sep, dev.id) + ".txt");
    try {
      WriteReport(dev, path, location, date);
      c.out << path << "\n";
    } catch (const UErr& e) {
      // A controller in another mode or held by someone else is not this run's failure.
      c.err << "zavctl: " << name << " skipped:\n" << UErrText(e);
    } catch (const NoReport& e) {
      c.err << "zavctl: " << name << " skipped: " << e.what() << "\n";
    } catch (const std::runtime_error& e) {
      c.err << "zavctl: " << name << ": " << e.what() << "\n";
      ++failed;
    }
    Release(dev);
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace zav::ctl
