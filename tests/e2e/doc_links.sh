#!/usr/bin/env bash
# Every relative link of README.md and of the pages under docs/ leads somewhere: the file
# exists and, where the link has a #anchor, a heading of that file makes the anchor. The
# checker itself is first run on a small tree with known faults.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh

# broken_links FILE...: prints "file:line: target (reason)" for each link that leads
# nowhere. Links inside fenced code blocks and code spans, and links with a scheme
# (https:, mailto:), are not checked.
broken_links() {
  LC_ALL=C awk '
    # GitHub: lower case, punctuation other than "-" and "_" dropped, blanks to "-"; a
    # repeated heading gets -1, -2, ... Letters outside ASCII are kept.
    function slug(text) {
      sub(/^#+[ \t]+/, "", text); sub(/[ \t]+#*[ \t]*$/, "", text)
      # a link in a heading counts by its text
      while (match(text, /\]\([^)]*\)/)) text = substr(text, 1, RSTART) substr(text, RSTART + RLENGTH)
      text = tolower(text)
      gsub(/[!-,.\/:-@[-^`{-~]/, "", text)
      gsub(/ /, "-", text)
      return text
    }
    function load_anchors(file,   line, fence, a) {
      if (file in loaded) return
      loaded[file] = 1
      fence = 0
      while ((getline line < file) > 0) {
        if (line ~ /^[ \t]*(```|~~~)/) { fence = !fence; continue }
        if (fence || line !~ /^#+[ \t]/ || line ~ /^#######/) continue
        a = slug(line)
        if ((file, a) in anchors) a = a "-" seen[file, a]++
        else seen[file, a] = 1
        anchors[file, a] = 1
      }
      close(file)
    }
    function resolve(from, target,   dir, n, i, parts, out, m) {
      dir = from; if (!sub(/\/[^\/]*$/, "", dir)) dir = "."
      n = split(dir "/" target, parts, "/"); m = 0
      for (i = 1; i <= n; i++) {
        if (parts[i] == "." || parts[i] == "") continue
        if (parts[i] == ".." && m > 0 && out[m] != "..") { m--; continue }
        out[++m] = parts[i]
      }
      target = m ? out[1] : "."
      for (i = 2; i <= m; i++) target = target "/" out[i]
      return target
    }
    function report(reason) { printf "%s:%d: %s (%s)\n", FILENAME, FNR, link, reason }
    FNR == 1 { fence = 0 }
    /^[ \t]*(```|~~~)/ { fence = !fence; next }
    fence { next }
    {
      text = $0
      gsub(/`[^`]*`/, "code", text)
      targets = ""
      while (match(text, /\]\([^)]*\)/)) {
        targets = targets "\n" substr(text, RSTART + 2, RLENGTH - 3)
        text = substr(text, RSTART + RLENGTH)
      }
      if (match(text, /^\[[^]]+\]:[ \t]+[^ \t]+/)) {
        sub(/^\[[^]]+\]:[ \t]+/, "", text); sub(/[ \t].*/, "", text)
        targets = targets "\n" text
      }
      n = split(substr(targets, 2), list, "\n")
      for (i = 1; i <= n; i++) {
        link = list[i]; sub(/[ \t]+".*"$/, "", link)  # an optional "title"
        if (link ~ /^[a-zA-Z][a-zA-Z0-9+.-]*:/) continue
        path = link; anchor = ""
        if (k = index(link, "#")) { path = substr(link, 1, k - 1); anchor = substr(link, k + 1) }
        file = path == "" ? FILENAME : resolve(FILENAME, path)
        if (system("test -e \"" file "\"") != 0) { report("no such file"); continue }
        if (anchor == "") continue
        if (file !~ /\.md$/) { report("anchor into a file without headings"); continue }
        load_anchors(file)
        if (!((file, anchor) in anchors)) report("no heading makes this anchor")
      }
    }
  ' "$@"
}

# The checker on a tree with known faults, a reason for each.
work=$(mktemp -d /tmp/runwarden-links.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docs/sub"
cat >"$work/README.md" <<'EOF'
# Title
[ok: a page](docs/page.md) and [ok: its heading with punctuation](docs/page.md#the--a-b_c-form-10)
[ok: a second heading of the same text](docs/page.md#twice-1) [ok: this file](#title)
[ok: a scheme](https://example.invalid/x) `[ok: code span](missing.md)`
[broken: no such page](docs/missing.md)
[broken: no such heading](docs/page.md#no-such)
[broken: the -1 suffix is only for a repeated heading](#title-1)
```
[ok: inside a fence](missing.md)
```
[ref]: docs/gone.md
EOF
cat >"$work/docs/page.md" <<'EOF'
# The `-a:` (B_c) form, 1.0
## Twice
## Twice
```sh
# not a heading
```
[ok: up and back](../docs/sub/../page.md#the--a-b_c-form-10) [broken: a fenced comment](#not-a-heading)
EOF
(cd "$work" && broken_links README.md docs/page.md) >"$work/found"
expect_bytes "faults of the sample tree" \
"README.md:5: docs/missing.md (no such file)
README.md:6: docs/page.md#no-such (no heading makes this anchor)
README.md:7: #title-1 (no heading makes this anchor)
README.md:11: docs/gone.md (no such file)
docs/page.md:7: #not-a-heading (no heading makes this anchor)\n" "$work/found"

# The tree itself.
mapfile -t pages < <(find docs -name '*.md' | sort)
broken_links README.md "${pages[@]}" >"$work/found"
[[ -s $work/found ]] && cat "$work/found"
expect_bytes "links of README.md and docs/" "" "$work/found"
finish
