#pragma once
// The command-line options of a check: help requests, the options with a value and the
// switches, read into CheckSettings.

#include <string>
#include <vector>

#include "core/check/check_settings.h"
#include "core/calendar/text_rules.h"
#include "platform/case_mapping.h"
#include "platform/time_zone.h"

namespace runwarden {

// Fills settings from the arguments (program name left out). Never prints and never
// stops: no arguments or a help switch as the first argument set ShowHelp; a bad remote
// GMT offset or an unreadable time zone set Status Unknown with a message and parsing goes
// on; an error raised while parsing sets Status Unknown, its message and ShowHelp, and the
// remaining arguments are not parsed. Fields no argument sets keep their values.
void ParseCommandLine(const std::vector<std::string>& arguments, TimeZone& timeZone,
                      CaseMapping& caseMapping, const SystemLeadBytes& leadBytes,
                      CheckSettings& settings);

}  // namespace runwarden
