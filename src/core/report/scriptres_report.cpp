#include "core/report/scriptres_report.h"

#include <string_view>

namespace runwarden {
namespace {

std::string_view ResultPrefix(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok: return "ScriptRes:Ok:";
    case CheckStatus::Bad: return "ScriptRes:Bad:";
    case CheckStatus::Unknown: break;
  }
  return "ScriptRes:Unknown:";
}

}  // namespace

std::string ScriptResLine(const CheckReport& report) {
  return std::string(ResultPrefix(report.Status)) + OnOneLine(report.Text);
}

}  // namespace runwarden
