#!/usr/bin/env python3
"""The tables of scripts/bench, from the raw results it wrote.

  bench_tables.py windows RESULTS BIN_DIR WINE   the Windows rows (writes RESULTS/table.md)
  bench_tables.py linux RESULTS MEMORY_RUNS PROGRAM PLUGIN   the Linux tables, on stdout
"""
import json, os, statistics, sys


def windows_table(argv):
    results, bin_dir, wine = argv
    timed = {}
    for file in sorted(os.listdir(results)):
        if file.startswith("round-") and file.endswith(".json"):
            for row in json.load(open(os.path.join(results, file)))["results"]:
                timed.setdefault(row["command"], []).extend(row["times"])
    rows = [line.rstrip("\n").split("\t") for line in open(os.path.join(results, "rows.tsv"))]
    medians = [statistics.median(timed[command]) for _, command in rows]
    with open(os.path.join(results, "table.md"), "w") as table:
        def out(text=""):
            print(text)
            table.write(text + "\n")
        out(f"Under Wine, median of {len(timed[rows[0][1]])} runs each in rounds, after warm-up:")
        out()
        out("| Row | Command | Median ms | Mean ± σ ms | × bare lookup |")
        out("|---|---|---:|---:|---:|")
        for index, (name, command) in enumerate(rows):
            times = timed[command]
            bare = medians[index - index % 2 + 1]  # each runwarden row is followed by its bare one
            shown = command.replace(bin_dir + "/", "").replace(wine, "wine64")
            out(f"| {name} | `{shown}` | {medians[index] * 1000:.1f} | "
                f"{statistics.mean(times) * 1000:.1f} ± {statistics.stdev(times) * 1000:.1f} | "
                f"{medians[index] / bare:.2f} |")
        out()
        out(f"- runwarden.exe / bare 1.0 lookup, median wall time: {medians[0] / medians[1]:.2f}")
        out(f"- runwarden.exe / bare 2.0 lookup, median wall time: {medians[2] / medians[3]:.2f}"
            " (runwarden asks 1.0 first)")


def linux_tables(argv):
    results, memory_runs, program, plugin = argv
    # command -> the wall times of every run of every round, in seconds (remote rows included)
    timed = {}
    for file in sorted(os.listdir(results)):
        if file.startswith(("round-", "many-round-", "remote-round-")) and file.endswith(".json"):
            for row in json.load(open(os.path.join(results, file)))["results"]:
                timed.setdefault(row["command"], []).extend(row["times"])

    def rss(index):
        values = [int(line) for line in open(os.path.join(results, f"rss-{index}")) if line.strip()]
        return statistics.median(values), max(values)

    def summary(command):
        times = timed[command]
        return {"median": statistics.median(times), "mean": statistics.mean(times),
                "stddev": statistics.stdev(times), "runs": len(times)}

    # name, command as shown, timing, index of the peak memory file
    rows = []
    for index, line in enumerate(open(os.path.join(results, "rows.tsv"))):
        name, command = line.rstrip("\n").split("\t")
        shown = command.replace(program, "runwarden", 1).replace(plugin, "check_systemd", 1)
        rows.append((name, shown, summary(command), index))
    floor = next(r for r in rows if r[0] == "systemctl show")
    floor_time = floor[2]["median"]
    floor_rss = rss(floor[3])[0]
    load_before = open(os.path.join(results, "load-before")).read().split()[:3]
    load_after = open(os.path.join(results, "load-after")).read().split()[:3]

    runs = min(row[2]["runs"] for row in rows)
    print(f"Whole checks of bench-job.service on the private manager, runwarden = {program}: "
          f"median of {runs} runs each in rounds, after warm-up; peak RSS: median (max) of "
          f"{memory_runs} runs. Load average before {' '.join(load_before)}, after "
          f"{' '.join(load_after)}.")
    print()
    print("| Row | Command | Median ms | Mean ± σ ms | × systemctl show | Peak RSS KiB "
          "| × systemctl show |")
    print("|---|---|---:|---:|---:|---:|---:|")
    for name, text, row, rss_index in rows:
        median_rss, max_rss = rss(rss_index)
        print(f"| {name} | `{text}` | {row['median'] * 1000:.3f} | "
              f"{row['mean'] * 1000:.3f} ± {row['stddev'] * 1000:.3f} | "
              f"{row['median'] / floor_time:.2f} | "
              f"{median_rss:.0f} ({max_rss}) | {median_rss / floor_rss:.2f} |")
    print()
    service = rows[0]
    time_ratio = service[2]["median"] / floor_time
    rss_ratio = rss(service[3])[0] / floor_rss
    plugin_row = next(r for r in rows if r[0] == "check_systemd")
    plugin_ratio = plugin_row[2]["median"] / service[2]["median"]
    print(f"- runwarden / systemctl show, median wall time: {time_ratio:.2f} "
          f"(target at most 1.00: {'met' if time_ratio <= 1.0 else 'NOT met'})")
    print(f"- runwarden / systemctl show, peak RSS: {rss_ratio:.2f} "
          f"(target at most 1.00: {'met' if rss_ratio <= 1.0 else 'NOT met'})")
    print(f"- check_systemd / runwarden, median wall time: {plugin_ratio:.1f}")

    many_rows = os.path.join(results, "many-rows.tsv")
    if os.path.exists(many_rows) and os.path.getsize(many_rows):
        many = []
        for line in open(many_rows):
            name, command = line.rstrip("\n").split("\t")
            shown = command.replace(program, "runwarden", 1)
            if command.startswith("bash "):
                shown = "bash one-by-one.sh"
            many.append((name, shown, summary(command)))
        one = next(row["median"] for name, _, row in many if name == "runwarden, one of them")
        print()
        print(f"Many units in one check: {many[0][0].split(', ')[1].split(' ')[0]} one-shot services "
              f"that ran, on the same manager: median of {min(row['runs'] for _, _, row in many)} "
              f"runs each in rounds, after warm-up.")
        print()
        print("| Row | Command | Median ms | Mean ± σ ms | × one check of one of them |")
        print("|---|---|---:|---:|---:|")
        for name, text, row in many:
            print(f"| {name} | `{text}` | {row['median'] * 1000:.3f} | "
                  f"{row['mean'] * 1000:.3f} ± {row['stddev'] * 1000:.3f} | "
                  f"{row['median'] / one:.2f} |")
        print()
        pattern, loop, show = (many[i][2]["median"] for i in (0, -2, -1))
        print(f"- pattern check / one check of one unit, median wall time: {pattern / one:.2f} "
              f"(target at most 3.00: {'met' if pattern / one <= 3.0 else 'NOT met'})")
        print(f"- pattern check / systemctl show of the same units: {pattern / show:.2f} "
              f"(target below 1.00: {'met' if pattern < show else 'NOT met'})")
        print(f"- the checks one after the other / the pattern check: {loop / pattern:.1f}")

    remote_rows = os.path.join(results, "remote-rows.tsv")
    if os.path.exists(remote_rows) and os.path.getsize(remote_rows):
        remote = []
        for line in open(remote_rows):
            name, command = line.rstrip("\n").split("\t")
            remote.append((name, command.replace(program, "runwarden", 1), summary(command)))
        median = {name: row["median"] for name, _, row in remote}
        remote_floor = median["ssh systemctl show, direct"]
        print()
        print(f"Remote checks of bench-job.service through sshd on 127.0.0.1, host aliases of "
              f"~/.ssh/config: direct (one handshake each), shared (ControlMaster auto, "
              f"ControlPersist): median of {min(row['runs'] for _, _, row in remote)} runs each "
              f"in rounds, after warm-up.")
        print()
        print("| Row | Command | Median ms | Mean ± σ ms | × ssh systemctl show, direct |")
        print("|---|---|---:|---:|---:|")
        for name, text, row in remote:
            print(f"| {name} | `{text}` | {row['median'] * 1000:.1f} | "
                  f"{row['mean'] * 1000:.1f} ± {row['stddev'] * 1000:.1f} | "
                  f"{row['median'] / remote_floor:.2f} |")
        print()
        for host in ("direct", "shared"):
            print(f"- runwarden / ssh systemctl show, {host}, median wall time: "
                  f"{median[f'runwarden, {host}'] / median[f'ssh systemctl show, {host}']:.2f}")
        print(f"- runwarden direct / shared, median wall time: "
              f"{median['runwarden, direct'] / median['runwarden, shared']:.1f}")
        by_pattern = [name for name in median if "units by pattern, direct" in name]
        if by_pattern:
            units = by_pattern[0].split(", ")[1].split(" ")[0]
            print(f"- pattern check, direct / one check of one unit, direct: "
                  f"{median[by_pattern[0]] / median['runwarden, one of them, direct']:.2f}")
            print(f"- pattern check, direct / ssh systemctl show of the same units, direct: "
                  f"{median[by_pattern[0]] / median[f'ssh systemctl show, {units} units, direct']:.2f}")

    micro = os.path.join(results, "micro.json")
    if os.path.exists(micro):
        data = json.load(open(micro))
        print()
        print("| Micro benchmark | Median ns per call | Text |")
        print("|---|---:|---|")
        labels = {}
        for b in data["benchmarks"]:
            if b.get("label"):
                labels[b["run_name"]] = b["label"]
        for b in data["benchmarks"]:
            if b.get("aggregate_name") != "median":
                continue
            scale = {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]
            label = labels.get(b["run_name"], b.get("label", ""))
            print(f"| `{b['run_name']}` | {b['real_time'] * scale:.1f} | {label} |")

    bus = os.path.join(results, "bus.json")
    if os.path.exists(bus):
        print()
        print("| Talk with the manager (bench-job.service) | Median µs wall "
              "| Median µs manager CPU |")
        print("|---|---:|---:|")
        for b in json.load(open(bus))["benchmarks"]:
            if b.get("aggregate_name") != "median":
                continue
            scale = {"ns": 1e-3, "us": 1, "ms": 1e3}[b["time_unit"]]
            print(f"| `{b['run_name']}` | {b['real_time'] * scale:.0f} "
                  f"| {b.get('manager_cpu_us', 0):.0f} |")


if __name__ == "__main__":
    {"windows": windows_table, "linux": linux_tables}[sys.argv[1]](sys.argv[2:])
