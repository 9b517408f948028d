#!/usr/bin/env bash
# Runs the Linux program and another build of it on the same folders and
# checks that they agree: the same console lines (apart from the folder prefix
# and the console's line ends) and the same channel list bytes. The other is
# the Windows program (an .exe, run under Wine) or the arm64 Linux program
# (run under qemu-aarch64).
#   tests/compare_platforms.sh LINUX_PROGRAM OTHER_PROGRAM
set -euo pipefail
linux_program=$(realpath "$1")
other_program=$(realpath "$2")
wine=${WINE:-/usr/lib/wine/wine64}
qemu=${QEMU:-qemu-aarch64}
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
  # Names in several scripts, listed in the same order, opened and printed as
  # UTF-8 on both: letters that NTFS's upper-case table folds and the Unicode
  # one does not, or the other way round, fullwidth letters, an emoji and a
  # private-use character. None holds a letter that Wine upper-cases and NTFS
  # does not (Georgian, Cherokee, Latin Extended-D), where Wine's order
  # differs from that of NTFS, which the Linux program follows.
  local name
  for name in café.txt Россия.m3u العربية.m3u 中国频道.m3u8 "📺 Sports.m3u" écran.m3u Étoile.m3u \
      über.m3u Übersicht.m3u ß.m3u ÿacht.m3u детские.m3u Кино.m3u σίγμα.m3u ςτελος.m3u Σύνολο.m3u \
      ａｂｃ.m3u ＡＢＣ２.m3u $'\xee\x80\x80 private.m3u' ch10.m3u ch2.m3u; do
    printf '#EXTINF:-1,%s\r\nhttp://s.example/%s\r\n' "$name" "$name" > "$folder/$name"
  done
}

# A working folder named in Cyrillic on a disk too small for the list: the
# run must cut the torn line off on both platforms.
make_full_disk_folder() {
  local folder="$1/iptv channel" i
  mkdir -p "$folder"
  printf '<servername=>Earlier</servername><serverurl=>u</serverurl><servercategory=>TV</servercategory>\r\n' > "$1/iptv.lst"
  printf '#EXTINF:-1,Small\nhttp://a/1\n' > "$folder/a.m3u"
  for i in $(seq 1 4000); do
    printf '#EXTINF:-1,Channel %d\nhttp://cdn.example/%d\n' "$i" "$i"
  done > "$folder/b.m3u"
}

# Runs one program in a copy of a folder (made under DISK, if given); prints
# its console with the Linux prefix and LF line ends, then its channel list
# after a marker line.
run_in_copy() {
  local program="$1" folder="$2" copy
  if [[ -n "${3:-}" ]]; then
    copy="$3/Мои каналы"
    mkdir "$copy"
  else
    copy=$(mktemp -d "$work/run.XXXXXX")
  fi
  cp -r "$folder/." "$copy/"
  local status=0
  if [[ "$program" == *.exe ]]; then
    # The console is kept apart from the copy, which may be on a full disk.
    local console
    console=$(mktemp "$work/console.XXXXXX")
    # In a UTF-8 locale whatever the caller's: in a 7-bit one (LANG=C) Wine
    # would hand the program 'café' as 'cafC).txt'.
    (cd "$copy" && LC_ALL=C.UTF-8 "$wine" "$program" < /dev/null > "$console") || status=$?
    # The Windows console writes CR LF; a line without it would show as a difference.
    grep -qv $'\r$' "$console" && echo "== a console line does not end in CR LF"
    sed -e 's/\r$//' -e 's#^\(name=\|Open \|Save \)\.\\iptv channel\\#\1./iptv channel/#' "$console"
  elif [[ "$program" != "$linux_program" ]]; then
    (cd "$copy" && "$qemu" -L /usr/aarch64-linux-gnu "$program" < /dev/null) || status=$?
  else
    (cd "$copy" && "$program" < /dev/null) || status=$?
  fi
  echo "== exit status $status"
  cat "$copy/iptv.lst" 2>/dev/null || echo "== no channel list"
}

mkdir -p "$work/examples" "$work/mixed" "$work/missing"
cp -r "$source_dir/examples/." "$work/examples/"
make_mixed_folder "$work/mixed"

folders=(examples mixed missing)
mkdir -p "$work/full-disk"
make_full_disk_folder "$work/full-disk"
mkdir -p "$work/disk.linux" "$work/disk.windows"
if mount -t tmpfs -o size=256k tmpfs "$work/disk.linux" 2> /dev/null &&
   mount -t tmpfs -o size=256k tmpfs "$work/disk.windows"; then
  trap 'umount "$work/disk.linux" "$work/disk.windows" 2> /dev/null; rm -rf "$work"' EXIT
  folders+=(full-disk)
else
  echo "skipped: full-disk (cannot mount a small tmpfs; needs root)"
fi

failures=0
for folder in "${folders[@]}"; do
  disk_linux="" disk_windows=""
  if [[ "$folder" == full-disk ]]; then
    disk_linux="$work/disk.linux" disk_windows="$work/disk.windows"
  fi
  run_in_copy "$linux_program" "$work/$folder" "$disk_linux" > "$work/$folder.linux"
  run_in_copy "$other_program" "$work/$folder" "$disk_windows" > "$work/$folder.windows"
  if [[ "$folder" == full-disk ]]; then
    # How much a write takes before the disk is full is the system's own (and
    # Wine's differs from Linux's): the consoles must agree, each list must
    # end at a whole line, and the shorter must begin the longer.
    whole=yes
    for platform in linux windows; do
      sed -n '0,/^== exit status/p' "$work/$folder.$platform" > "$work/$folder.$platform.console"
      sed '0,/^== exit status/d' "$work/$folder.$platform" > "$work/$folder.$platform.list"
      if [[ "$(tail -c 50 "$work/$folder.$platform.list" | od -An -c | tr -d ' \n')" != *'</servercategory>\r\n' ]]; then
        echo "TORN LINE at the end of the $platform list: $folder"
        whole=no
      fi
    done
    shorter=$(wc -c < "$work/$folder.linux.list")
    shorter=$((shorter < $(wc -c < "$work/$folder.windows.list") ? shorter : $(wc -c < "$work/$folder.windows.list")))
    if [[ "$whole" == yes ]] && cmp -s "$work/$folder.linux.console" "$work/$folder.windows.console" &&
       cmp -s -n "$shorter" "$work/$folder.linux.list" "$work/$folder.windows.list"; then
      echo "same on both platforms: $folder (lists of $(wc -c < "$work/$folder.linux.list") and $(wc -c < "$work/$folder.windows.list") bytes, each ending at a whole line)"
    else
      echo "DIFFERENT on the platforms: $folder"
      diff -a "$work/$folder.linux.console" "$work/$folder.windows.console" || true
      failures=$((failures + 1))
    fi
    continue
  fi
  if cmp -s "$work/$folder.linux" "$work/$folder.windows"; then
    echo "same on both platforms: $folder ($(wc -c < "$work/$folder.linux") bytes of console and list)"
  else
    echo "DIFFERENT on the platforms: $folder"
    diff -a "$work/$folder.linux" "$work/$folder.windows" || true
    failures=$((failures + 1))
  fi
done
exit "$failures"
