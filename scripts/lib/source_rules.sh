# The rules of the source tree that scripts/test enforces, sourced by it: the direction of
# dependencies between the layers and the rooms of the core, and the size of each file.

# The rooms of src/core that each room may include besides itself; the platform interfaces
# are open to all of them.
declare -A core_room_uses=(
  [calendar]=""
  [tasks]="calendar"
  [access]="calendar"
  [report]="calendar"
  [check]="calendar tasks access report"
)

# Prints each include that breaks the direction and fails if there is one.
check_include_direction() {
  local failed=0 room file used
  if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]core/' src/platform; then
    echo "FAIL: a file under src/platform includes a core header (above)" >&2
    failed=1
  fi
  for room in src/core/*/; do
    room=$(basename "$room")
    if [[ ! -v core_room_uses[$room] ]]; then
      echo "FAIL: src/core/$room is a room without rules in scripts/lib/source_rules.sh" >&2
      failed=1
      continue
    fi
    while IFS=: read -r file used; do
      [[ $used == "$room" || " ${core_room_uses[$room]} " == *" $used "* ]] && continue
      echo "FAIL: $file (in $room) includes core/$used, which $room may not use" >&2
      failed=1
    done < <(grep -roE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"core/[a-z_]+/' \
               "src/core/$room" | sed -E 's#^([^:]+):.*"core/([a-z_]+)/$#\1:\2#')
  done
  if compgen -G 'src/core/*.[ch]*' >/dev/null; then
    echo "FAIL: a source file directly in src/core belongs in one of its rooms:" src/core/*.[ch]* >&2
    failed=1
  fi
  return $failed
}

# No source file or script over 400 lines: a longer one is split along its seams.
check_file_sizes() {
  local failed=0 file lines
  while read -r lines file; do
    [[ $file == total ]] && continue
    if ((lines > 400)); then
      echo "FAIL: $file has $lines lines, more than 400" >&2
      failed=1
    fi
  done < <(git ls-files -co --exclude-standard -- 'src/*' 'tests/*.cpp' 'tests/*.h' 'tests/*.sh' \
             'fuzz/*.cpp' 'fuzz/*.h' 'bench/*.cpp' 'scripts/*' | xargs wc -l)
  return $failed
}
