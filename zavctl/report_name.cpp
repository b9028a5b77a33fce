#include "zavctl/report_name.h"

#include <langinfo.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace zav::ctl {

char DateSeparator(const std::string& format) {
  char sep = '-';
  bool seenField = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char ch = format[i];
    if (ch == '%') {
      // A conversion, with its optional flag or E/O modifier: one field of the date.
      ++i;
      while (i < format.size() && std::strchr("_-0^#EO", format[i]) != nullptr) ++i;
      seenField = true;
      continue;
    }
    if (seenField && !std::isspace(static_cast<unsigned char>(ch))) {
      sep = ch;
      break;
    }
  }
  // The name must stay one file in the chosen folder.
  if (sep == '/' || sep == '\\' || sep == ':' || !std::isprint(static_cast<unsigned char>(sep)))
    sep = '-';
  return sep;
}

char RegionalDateSeparator() {
  std::setlocale(LC_TIME, "");
  const char* fmt = nl_langinfo(D_FMT);
  return DateSeparator(fmt != nullptr ? fmt : "");
}

std::string SuggestedReportName(const ReportDate& date, char sep, DeviceId controller) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d%c%02d%c%02d ", date.year, sep, date.month, sep, date.day);
  return text + DevName(controller);
}

ReportDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace zav::ctl
