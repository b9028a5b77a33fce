// The report file name the window proposes: the local date with the regional date separator,
// a blank and the controller's name ("2021-05-07 K105_00066"); zavctl adds ".txt".
#pragma once

#include <string>

#include "config/cfg_report.h"
#include "link/wire.h"

namespace zav::ctl {

// The separator between the fields of a date format as strftime spells it ("%d.%m.%Y" gives
// '.'); '-' when there is none or when it would split the name into folders.
char DateSeparator(const std::string& strftimeFormat);
// The separator of the user's regional settings (LC_TIME).
char RegionalDateSeparator();

std::string SuggestedReportName(const ReportDate& date, char separator, DeviceId controller);

ReportDate Today();

}  // namespace zav::ctl
