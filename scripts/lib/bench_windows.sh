# The Windows rows of scripts/bench, sourced by it; uses its options and $results.

# The Windows rows, under Wine in a prefix of their own, outside the systemd test bed:
# runwarden.exe and the bare lookup of tests/wine/bare_lookup.cpp take turns in the same
# rounds, for a 1.0 task with a recent run and for a task in a folder that only 2.0 holds
# (which runwarden reaches after 1.0 has not found it). Prints the Windows table.
windows_bench() {
  set +e
  source tests/e2e/lib/common.sh
  source tests/e2e/lib/wine.sh
  local bin=$root/build/windows out=$results/windows/answer round i
  mkdir -p "$results/windows"
  export TZ=UTC LC_ALL=C
  wine_start
  # shellcheck disable=SC2046 # the date is six words
  "$WINE64" "$bin/task_fixture.exe" bench-job 0 $(date -d '-10 minutes' '+%Y %m %d %H %M %S') &&
    "$WINE64" "$bin/task_fixture.exe" --v2 '\Bench\Job' >"$out" 2>&1 ||
    { echo "FAIL: the Windows benchmark's tasks could not be made" >&2; return 1; }
  local names=("runwarden.exe, 1.0 task" "bare 1.0 lookup" "runwarden.exe, 2.0 task in a folder"
               "bare 2.0 lookup")
  local patterns=('^ScriptRes:Ok:' ' exit 0' '^ScriptRes:Unknown:Invalid argument to date encode'
                  '^00041303 ')
  local commands=("$WINE64 $bin/runwarden.exe -task:bench-job -timeframe:today"
                  "$WINE64 $bin/bare_lookup.exe v1 bench-job"
                  "$WINE64 $bin/runwarden.exe -task:\Bench\Job -timeframe:today"
                  "$WINE64 $bin/bare_lookup.exe v2 \Bench\Job")
  for i in "${!commands[@]}"; do
    # Through a file: Wine's services would hold a pipe open. The command is words.
    # shellcheck disable=SC2086
    ${commands[i]} >"$out" 2>&1
    if ! grep -Eq "${patterns[i]}" "$out"; then
      echo "FAIL: ${names[i]} did not answer as expected (${patterns[i]}):" >&2
      cat "$out" >&2
      return 1
    fi
    printf '%s\t%s\n' "${names[i]}" "${commands[i]}"
  done >"$results/windows/rows.tsv"
  echo "== timing the Windows rows under Wine: $runs runs each in $rounds rounds"
  for ((round = 1; round <= rounds; round++)); do
    # --ignore-failure: under Wine the 2.0 task never ran, and runwarden.exe says so with 2.
    hyperfine --shell=none --ignore-failure --warmup "$warmup" --runs $((runs / rounds)) \
      --style basic --export-json "$results/windows/round-$round.json" "${commands[@]}" \
      >>"$results/windows/hyperfine.log" 2>&1 ||
      { cat "$results/windows/hyperfine.log" >&2; return 1; }
  done
  wine_stop
  trap - EXIT
  /usr/bin/python3 scripts/lib/bench_tables.py windows "$results/windows" "$bin" "$WINE64"
}
