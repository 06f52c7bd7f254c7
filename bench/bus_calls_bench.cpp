// What a check's talk with the systemd manager costs, call by call and as whole sessions
// (connect, authenticate, ask, close), so that the choices of the Linux backend rest on
// figures: the system bus or the manager's own socket, Get or GetAll, one call after the
// other or a batch. Runs inside the benchmark's test bed, which prepares bench-job.service:
//
//   scripts/bench --exec build/bench/runwarden_bus_bench
//
// The manager_cpu_us counter is the manager's own CPU time per iteration, read from
// /proc/$TESTBED_MANAGER_PID/stat.
#include <benchmark/benchmark.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kService[] = "org.freedesktop.systemd1";
constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
constexpr char kUnitName[] = "bench-job.service";
constexpr char kUnitPath[] = "/org/freedesktop/systemd1/unit/bench_2djob_2eservice";
constexpr char kPrivateSocket[] = "unix:path=/run/systemd/private";

// The properties a check reads of a service.
constexpr const char* kServiceProperties[][2] = {
    {"org.freedesktop.systemd1.Unit", "LoadState"},
    {"org.freedesktop.systemd1.Service", "ExecMainStartTimestamp"},
    {"org.freedesktop.systemd1.Service", "ExecMainCode"},
    {"org.freedesktop.systemd1.Service", "ExecMainStatus"},
    {"org.freedesktop.systemd1.Service", "Result"}};

// The manager's user and system CPU time so far, in microseconds; 0 when unknown.
double ManagerCpuMicroseconds() {
  const char* pid = std::getenv("TESTBED_MANAGER_PID");
  if (pid == nullptr) return 0;
  std::ifstream file(std::string("/proc/") + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));  // after the command name
  std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
  if (field.size() < 13) return 0;
  const double ticks = std::stod(field[11]) + std::stod(field[12]);  // utime, stime
  return ticks * 1e6 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void Check(benchmark::State& state, int r, const char* what) {
  if (r < 0) state.SkipWithError(what);
}

sd_bus* Connect(bool privateSocket) {
  sd_bus* bus = nullptr;
  if (privateSocket) {
    sd_bus_new(&bus);
    sd_bus_set_address(bus, kPrivateSocket);
    if (sd_bus_start(bus) < 0) bus = sd_bus_unref(bus);
  } else if (sd_bus_open_system(&bus) < 0) {
    bus = nullptr;
  }
  if (bus == nullptr) return nullptr;
  while (sd_bus_is_ready(bus) <= 0) {  // authentication (and Hello on a bus)
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) return sd_bus_close_unref(bus);
    if (r == 0) sd_bus_wait(bus, UINT64_MAX);
  }
  return bus;
}

int Call(sd_bus* bus, const char* path, const char* interface, const char* member,
         const char* signature, const char* first = nullptr, const char* second = nullptr) {
  sd_bus_message* reply = nullptr;
  sd_bus_error error{};
  const int r = sd_bus_call_method(bus, kService, path, interface, member, &error, &reply,
                                   signature, first, second);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return r;
}

int Ping(sd_bus* bus) {
  return Call(bus, kManagerPath, "org.freedesktop.DBus.Peer", "Ping", "");
}

int GetOneByOne(sd_bus* bus) {
  int r = 0;
  for (const auto& property : kServiceProperties) {
    if (r >= 0) {
      r = Call(bus, kUnitPath, "org.freedesktop.DBus.Properties", "Get", "ss", property[0],
               property[1]);
    }
  }
  return r;
}

// Every Get sent before the first answer is awaited.
int GetBatched(sd_bus* bus) {
  int awaited = 0;
  const auto answered = [](sd_bus_message*, void* count, sd_bus_error*) {
    --*static_cast<int*>(count);
    return 0;
  };
  for (const auto& property : kServiceProperties) {
    const int r = sd_bus_call_method_async(bus, nullptr, kService, kUnitPath,
                                           "org.freedesktop.DBus.Properties", "Get", answered,
                                           &awaited, "ss", property[0], property[1]);
    if (r < 0) return r;
    ++awaited;
  }
  while (awaited > 0) {
    int r = sd_bus_process(bus, nullptr);
    if (r == 0) r = sd_bus_wait(bus, UINT64_MAX);
    if (r < 0) return r;
  }
  return 0;
}

void ReportManagerCpu(benchmark::State& state, double before) {
  state.counters["manager_cpu_us"] = benchmark::Counter(
      ManagerCpuMicroseconds() - before, benchmark::Counter::kAvgIterations);
}

// Calls on a connection that stays open.
enum class Calls { Ping, LoadUnit, GetsOneByOne, GetsBatched, GetAll };

void BM_Call(benchmark::State& state, Calls calls, const char* interface) {
  sd_bus* bus = Connect(false);
  if (bus == nullptr) return state.SkipWithError("no bus");
  const double before = ManagerCpuMicroseconds();
  for (auto _ : state) {
    int r = 0;
    switch (calls) {
      case Calls::Ping:
        r = Ping(bus);
        break;
      case Calls::LoadUnit:
        r = Call(bus, kManagerPath, "org.freedesktop.systemd1.Manager", "LoadUnit", "s", kUnitName);
        break;
      case Calls::GetsOneByOne:
        r = GetOneByOne(bus);
        break;
      case Calls::GetsBatched:
        r = GetBatched(bus);
        break;
      case Calls::GetAll:
        r = Call(bus, kUnitPath, "org.freedesktop.DBus.Properties", "GetAll", "s", interface);
        break;
    }
    Check(state, r, "call");
  }
  ReportManagerCpu(state, before);
  sd_bus_close_unref(bus);
}
BENCHMARK_CAPTURE(BM_Call, Ping, Calls::Ping, "");
BENCHMARK_CAPTURE(BM_Call, LoadUnit, Calls::LoadUnit, "");
BENCHMARK_CAPTURE(BM_Call, five_Gets_one_by_one, Calls::GetsOneByOne, "");
BENCHMARK_CAPTURE(BM_Call, five_Gets_batched, Calls::GetsBatched, "");
BENCHMARK_CAPTURE(BM_Call, GetAll_Unit, Calls::GetAll, "org.freedesktop.systemd1.Unit");
BENCHMARK_CAPTURE(BM_Call, GetAll_Service, Calls::GetAll, "org.freedesktop.systemd1.Service");
BENCHMARK_CAPTURE(BM_Call, GetAll_every_interface, Calls::GetAll, "");

// A check's whole talk with the manager, on a connection of its own.
enum class Session { LoadUnitThenGets, GetsOneByOne, GetsBatched, PrivateSocketBatched };

void BM_Session(benchmark::State& state, Session session) {
  const double before = ManagerCpuMicroseconds();
  for (auto _ : state) {
    sd_bus* bus = Connect(session == Session::PrivateSocketBatched);
    if (bus == nullptr) return state.SkipWithError("no connection");
    int r = session == Session::PrivateSocketBatched ? 0 : Ping(bus);
    if (r >= 0 && session == Session::LoadUnitThenGets) {
      r = Call(bus, kManagerPath, "org.freedesktop.systemd1.Manager", "LoadUnit", "s", kUnitName);
    }
    if (r >= 0) {
      r = session == Session::GetsBatched || session == Session::PrivateSocketBatched
              ? GetBatched(bus)
              : GetOneByOne(bus);
    }
    sd_bus_close_unref(bus);
    Check(state, r, "session");
  }
  ReportManagerCpu(state, before);
}
// Through the bus: Hello, Ping, then the unit's properties.
BENCHMARK_CAPTURE(BM_Session, bus_LoadUnit_then_Gets, Session::LoadUnitThenGets);
BENCHMARK_CAPTURE(BM_Session, bus_Gets_one_by_one, Session::GetsOneByOne);
BENCHMARK_CAPTURE(BM_Session, bus_Gets_batched, Session::GetsBatched);
// The manager's own socket: no Hello, no Ping (the manager answers the authentication).
BENCHMARK_CAPTURE(BM_Session, private_socket_Gets_batched, Session::PrivateSocketBatched);

}  // namespace
