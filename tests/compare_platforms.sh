#!/usr/bin/env bash
# Runs the Linux program and the Windows program (under Wine) on the same
# folders and checks that they agree: the same console lines (apart from the
# folder prefix and the console's line ends) and the same channel list bytes.
#   tests/compare_platforms.sh LINUX_PROGRAM WINDOWS_PROGRAM
set -euo pipefail
linux_program=$(realpath "$1")
windows_program=$(realpath "$2")
wine=${WINE:-/usr/lib/wine/wine64}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A folder with what a user's folder holds: CR LF and LF playlists, names in
# mixed case, a long name, files that are not playlists, skipped entries, rtmp
# addresses, a long tokenised URL, and an empty playlist.
make_mixed_folder() {
  local folder="$1/iptv channel"
  mkdir -p "$folder"
  cp "$source_dir/examples/iptv channel/"* "$folder/"
  printf '#EXTINF:-1,Upper\r\nhttp://u.example/1\r\n' > "$folder/Zeta.m3u"
  printf '#EXTINF:-1,lower\nhttp://l.example/p?id=1&ip=2&auth=3\n#EXTINF:-1,kept\nhttp://l.example/p?id=1&auth=3\n' > "$folder/alpha.txt"
  printf '#EXTINF:-1,A long name, with a comma\rx;;rtmp://r.example/live\r' > "$folder/A playlist with a name well beyond thirty-four bytes.m3u"
  : > "$folder/_empty.m3u"
  printf 'not a playlist\n' > "$folder/cover.JPG"
  printf '#EXTINF:-1,Skipped by case\nhttp://x\n' > "$folder/CASE.M3U"
}

# Runs one program in a copy of a folder; prints its console with the Linux
# prefix and LF line ends, then its channel list after a marker line.
run_in_copy() {
  local program="$1" folder="$2" copy
  copy=$(mktemp -d "$work/run.XXXXXX")
  cp -r "$folder/." "$copy/"
  local status=0
  if [[ "$program" == *.exe ]]; then
    (cd "$copy" && "$wine" "$program" < /dev/null > "$copy.console") || status=$?
    # The Windows console writes CR LF; a line without it would show as a difference.
    grep -qv $'\r$' "$copy.console" && echo "== a console line does not end in CR LF"
    sed -e 's/\r$//' -e 's#^\(name=\|Open \|Save \)\.\\iptv channel\\#\1./iptv channel/#' "$copy.console"
  else
    (cd "$copy" && "$program" < /dev/null) || status=$?
  fi
  echo "== exit status $status"
  cat "$copy/iptv.lst" 2>/dev/null || echo "== no channel list"
}

mkdir -p "$work/examples" "$work/mixed" "$work/missing"
cp -r "$source_dir/examples/." "$work/examples/"
make_mixed_folder "$work/mixed"

failures=0
for folder in examples mixed missing; do
  run_in_copy "$linux_program" "$work/$folder" > "$work/$folder.linux"
  run_in_copy "$windows_program" "$work/$folder" > "$work/$folder.windows"
  if cmp -s "$work/$folder.linux" "$work/$folder.windows"; then
    echo "same on both platforms: $folder ($(wc -c < "$work/$folder.linux") bytes of console and list)"
  else
    echo "DIFFERENT on the platforms: $folder"
    diff -a "$work/$folder.linux" "$work/$folder.windows" || true
    failures=$((failures + 1))
  fi
done
exit "$failures"
