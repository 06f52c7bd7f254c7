# windows_files ROOT EXE DEST: the files that the Windows downloads (the zip and the MSI)
# carry, laid out in DEST as they are installed: the program EXE, README, LICENSE and
# CHANGELOG of the sources in ROOT, the pages of docs/, the manual page as text and the
# monitoring engines' definitions. Fixed modes; every time is SOURCE_DATE_EPOCH.
windows_files() {
  local root=$1 exe=$2 dest=$3
  mkdir -p "$dest/docs/monitoring"
  cp "$exe" "$dest/"
  cp "$root"/{README.md,LICENSE,CHANGELOG.md} "$dest/"
  cp "$root"/docs/*.md "$dest/docs/"
  cp "$root"/docs/monitoring/* "$dest/docs/monitoring/"
  # Not hyphenated, in plain ASCII.
  MANROFFOPT=-rHY=0 MANWIDTH=80 LC_ALL=C man -l "$root/docs/runwarden.1" 2>/dev/null |
    col -bx >"$dest/docs/runwarden.txt"
  chmod -R u=rwX,go=rX "$dest"
  find "$dest" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
}
