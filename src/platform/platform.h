#pragma once
// Everything the check run asks of the operating system, one interface per group.
// main.cpp hands over the real implementations; tests hand over fakes.

#include "platform/case_mapping.h"
#include "platform/clock.h"
#include "platform/com_runtime.h"
#include "platform/console.h"
#include "platform/deadline_timer.h"
#include "platform/locale_api.h"
#include "platform/logon_api.h"
#include "platform/network_api.h"
#include "platform/output_file.h"
#include "platform/time_zone.h"
#include "platform/wide_text.h"

namespace runwarden {

struct Platform {
  ComRuntime& com;
  WideText& wideText;
  LogonApi& logon;
  NetworkApi& network;
  Clock& clock;
  TimeZone& timeZone;
  Console& console;
  LocaleApi& locale;
  CaseMapping& caseMapping;
  OutputFile& outputFile;
  DeadlineTimer& deadline;
};

// The real implementations of this operating system; they live until the program ends.
Platform& RealPlatform();

}  // namespace runwarden
