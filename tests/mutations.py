#!/usr/bin/env python3
"""The mutation habit: puts each fault of the list below into a clean copy of
the tree, one at a time, rebuilds, runs the whole Linux suite, and prints
whether the suite killed it (a test failed) or it survived (every test
passed). A fault that survives and changes what the program does is a hole
in the suite: add the row or check that kills it. Run it before a release
and after a large change; it takes about a minute a fault on 2 cores.

  tests/mutations.py [--only SUBSTRING] [--keep DIR]

Each fault is one exact text replacement in one file; the text must stand
there exactly once, so a fault whose code has moved says so instead of
silently testing nothing.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

# (file, text as it stands, the fault, what it does)
FAULTS = [
    ("conversion/marks.hpp", "return c == ' ' || c == '\\t';", "return c == ' ';",
     "a tab is no blank"),
    ("conversion/marks.hpp", "(c >= '0' && c <= '9')", "(c >= '0' && c < '9')",
     "9 is no digit after .url"),
    ("conversion/marks.hpp", "is_ascii_alnum(from_here[mark.text.size()])",
     "is_ascii_alnum(from_here[mark.text.size() - 1])", ".url looks at its own last letter"),
    ("conversion/marks.hpp", "facts.skipped = facts.skipped || all_others;",
     "facts.skipped = facts.skipped && all_others;", "the skip marks need each other"),
    ("conversion/marks.hpp", "while (!s.empty() && s.back() == kBareLineEnd) {",
     "while (!s.empty() && s.back() == kLineEnd) {", "a name keeps its CRs"),
    ("conversion/marks.hpp", "  while (!s.empty() && is_trimmed(s.back())) {",
     "  while (!s.empty() && is_blank(s.back())) {", "an address keeps a CR at its end"),
    ("conversion/url_rules.cpp", "starts[static_cast<unsigned char>(mark.text[0])] = true;",
     "starts[static_cast<unsigned char>(mark.text[1])] = true;", "marks looked for at their 2nd byte"),
    ("conversion/playlist_text.cpp", 'if (file.starts_with("\\xFE\\xFF")) {',
     'if (file.starts_with("\\xFF\\xFF")) {', "big-endian UTF-16 not seen"),
    ("conversion/playlist_text.cpp", "if (c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {",
     "if (c <= 0xDBFF && low > 0xDC00 && low <= 0xDFFF) {", "U+DC00 pairs with no high surrogate"),
    ("conversion/playlist_text.cpp", "if (units.size() % 2 != 0) {",
     "if (units.size() % 2 > 1) {", "an odd last byte is dropped"),
    ("conversion/playlist_text.cpp", "return c < 0x80 ? 1 : c < 0x800 ? 2",
     "return c < 0x80 ? 1 : c <= 0x800 ? 2", "U+0800 measured as two bytes"),
    ("conversion/playlist_text.cpp",
     "text[before - 1] == kLineEnd || text[before - 1] == kBareLineEnd",
     "text[before - 1] == kLineEnd", "a marker after a bare CR starts no line"),
    ("conversion/playlist_text.cpp", "kTextEnd, at) == nullptr ? PlaylistLayout::kM3u",
     "kTextEnd, at) != nullptr ? PlaylistLayout::kM3u", "a zero byte before the marker ignored"),
    ("conversion/text_list.cpp", "s[at] == '+' || s[at] == '-'", "s[at] == '-'",
     "no '+' in a scheme"),
    ("conversion/text_list.cpp", "line[first] == '#'", "line[0] == '#'",
     "a comment after blanks gives records"),
    ("conversion/text_list.cpp", 'name.find("://") != npos', 'name.find("://") == 0',
     "an EPG line with a name before its first address"),
    ("conversion/text_list.cpp", "source.substr(0, source.find('$'))",
     "source.substr(0, source.rfind('$'))", "a source cut at its last '$'"),
    ("conversion/text_list.cpp", "    begin = end + 1;\n", "    begin = end + 2;\n",
     "a joined source loses its first letter"),
    ("conversion/text_list.cpp", "text.find(kLineEnd) != npos ? kLineEnd : kBareLineEnd",
     "text.find(kBareLineEnd) == npos ? kLineEnd : kBareLineEnd", "a CR LF text list read by CR"),
    ("conversion/scan_entries.hpp", "if (address.begin == npos || address.facts.skipped) {",
     "if (address.begin == npos) {", "the skip rule not applied in the scan"),
    ("conversion/scan_entries.hpp", "return static_cast<unsigned char>(c) <= '#';",
     "return static_cast<unsigned char>(c) < '#';", "an option line right after the name is the address"),
    ("conversion/scan_stops.hpp", "& ((std::uint64_t{1} << n) - 1);", "& (std::uint64_t{1} << n);",
     "quotes counted one byte too far"),
    ("conversion/record_pipeline.cpp", "      line_end = {};  // written with the first records\n",
     "", "the list's line end before every chunk"),
    ("conversion/list_writer.cpp", "std::max(line_end, whole_records_length(",
     "(whole_records_length(", "a full disk also cuts the line end off"),
    ("conversion/list_file.hpp", "last == '\\r' ? \"\\n\" : \"\\r\\n\"",
     "last == '\\r' ? \"\\r\\n\" : \"\\r\\n\"", "CR LF after a torn CR"),
    ("conversion/list_file_posix.cpp", "return code == EINVAL || code == ENOTSUP",
     "return code == ENOTSUP", "a device's flush fails the save"),
    ("conversion/list_file_posix.cpp", "held_ |= 1u << i;", "held_ |= 0u << i;",
     "a save never lets the ending signals go"),
    ("conversion/processors_posix.cpp", "const int count = CPU_COUNT(&allowed);",
     "const int count = CPU_COUNT(&allowed) - 1;", "one processor too few (speed only)"),
    ("driver/channel_folder.cpp", "c - 'A' + 'a'", "c - 'A' + 'b'", "names folded wrong"),
    ("driver/channel_listing_posix.cpp", "errno == ENOENT ? Step::kNoFolder",
     "errno == ENOTDIR ? Step::kNoFolder", "a missing folder as a listing error"),
    ("driver/playlist_file_posix.cpp", "failure = {Step::kOpenPlaylist, EISDIR};",
     "failure = {Step::kOpenPlaylist, ENOTDIR};", "a folder's reason wrong"),
    ("driver/console_lines.cpp", "if (bytes >= 1000 * 1000) {", "if (bytes > 1000 * 1000 * 1000) {",
     "sizes in bytes up to a GB"),
    ("driver/console_lines.cpp", "cannot flush its folder to disk: ", "cannot flush to disk: ",
     "the folder's flush worded as the list's"),
    ("driver/run.cpp", "if (failure && failure.step != Step::kOpenList) {", "if (failure) {",
     "two cause lines for a list that cannot be opened"),
    ("driver/ntfs_order.cpp", "if (offset % run.step != 0 || offset / run.step >= run.count) {",
     "if (offset % run.step != 0 || offset / run.step > run.count) {",
     "one letter past an upper-case run folded"),
]


def run(command, cwd, timeout=None):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", default="", help="only the faults whose text holds this")
    parser.add_argument("--keep", help="work in this folder and keep it")
    args = parser.parse_args()
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    work = args.keep or tempfile.mkdtemp(prefix="m3u2lst-mutations-")
    tree = os.path.join(work, "tree")
    if not os.path.isdir(tree):
        shutil.copytree(source, tree, ignore=shutil.ignore_patterns("build*", ".git"))
    build = os.path.join(tree, "build")
    if run(["cmake", "-S", tree, "-B", build], tree).returncode != 0 or \
            run(["cmake", "--build", build, "--parallel"], tree).returncode != 0:
        sys.exit("the clean tree does not build")
    killed = survived = 0
    for path, text, fault, what in FAULTS:
        if args.only and args.only not in path + what:
            continue
        file = os.path.join(tree, path)
        with open(file) as f:
            original = f.read()
        if original.count(text) != 1:
            print(f"NOT FOUND  {path}: {what}")
            continue
        with open(file, "w") as f:
            f.write(original.replace(text, fault))
        start = time.time()
        try:
            built = run(["cmake", "--build", build, "--parallel"], tree)
            if built.returncode != 0:
                outcome = "NO BUILD"
            else:
                try:
                    tested = run(["ctest", "--test-dir", build, "--parallel", "2",
                                  "--stop-on-failure", "--timeout", "120"], tree, timeout=1800)
                    failed = [line.strip() for line in tested.stdout.splitlines()
                              if "***" in line or "(Failed)" in line or "(Timeout)" in line]
                    outcome = "killed" if tested.returncode != 0 else "SURVIVED"
                except subprocess.TimeoutExpired:
                    failed, outcome = ["the suite took over 30 minutes"], "killed"
        finally:
            with open(file, "w") as f:
                f.write(original)
        killed += outcome == "killed"
        survived += outcome == "SURVIVED"
        detail = f"  by {failed[0]}" if outcome == "killed" and failed else ""
        print(f"{outcome:9}  {path}: {what} ({time.time() - start:.0f} s){detail}", flush=True)
    print(f"{killed} killed, {survived} survived")
    if not args.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
