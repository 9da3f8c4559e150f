#!/usr/bin/env python3
"""Plants small plausible faults in the core and the command line, one at a time, and runs
the tests that should notice each. Run on demand; it is not part of CI or scripts/test.sh.

    scripts/mutate.py                 every mutant
    scripts/mutate.py --only NAME ... some of them (a NAME ending in * is a prefix)
    scripts/mutate.py --list          the mutants and the tests each runs

A mutant whose build fails counts as killed, and is shown as such separately. The mutated file
is always restored, also on Ctrl-C.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEST_TIMEOUT = 120  # seconds per test program; a hang counts as killed


@dataclass
class Mutant:
    name: str
    file: str
    find: str
    replace: str
    # (test program, gtest filter); the program is also the build target.
    tests: list
    occurrence: object = None  # which one (0-based) when `find` occurs more than once
    extra_targets: list = field(default_factory=list)


def M(name, file, find, replace, *tests, occurrence=None, extra=()):
    return Mutant(name, file, find, replace, list(tests), occurrence, list(extra))


MODEL = ("model_test", "*")
COMPARE = ("compare_test", "*")
SNAPSHOT = ("snapshot_test", "*")
HARDENING = ("hardening_test", "HostileTarget.*:HostileReport.*")
CRASH = ("hardening_test", "CrashSafety.*")
CLI = ("cli_test", "*")
LIVE = ("live_core_test", "LiveSide*")
POSTGRES = ("live_postgres_test", "PostgresFill.*")

TC = "src/support/TextCase.cpp"
TE = "src/support/TextEncoding.cpp"
FIO = "src/support/FileIO.cpp"
APP = "src/cli/CliApp.cpp"
OUT = "src/cli/DifferenceOutput.cpp"
LS = "src/cli/LiveSide.cpp"
SW = "src/sources/SnapshotWriter.cpp"
SQ = "src/sources/SchemaQueries.cpp"
NI = "src/compare/NameIndex.cpp"
CE = "src/compare/cCompareEngine.cpp"

MUTANTS = [
    # Case folding
    M("case-ascii-z", TC, "b0 >= 'A' && b0 <= 'Z' ? b0 + 0x20", "b0 >= 'A' && b0 < 'Z' ? b0 + 0x20", MODEL),
    M("case-latin1-times-sign", TC, "&& c != 0xD7", "", MODEL),
    M("case-latin1-thorn", TC, "c >= 0xC0 && c <= 0xDE", "c >= 0xC0 && c < 0xDE", MODEL),
    M("case-y-diaeresis", TC, "if (c == 0x178) return 0xFF;", "", MODEL),
    M("case-odd-range-end", TC, "(c >= 0x139 && c <= 0x148)", "(c >= 0x139 && c < 0x148)", MODEL),
    M("case-dotted-capital-i", TC, "if (c == 0x130 || c == 0x131", "if (c == 0x131", MODEL),
    M("case-greek-omega", TC, "c >= 0x391 && c <= 0x3A9", "c >= 0x391 && c < 0x3A9", MODEL),
    M("case-cyrillic-dzhe", TC, "c >= 0x400 && c <= 0x40F", "c >= 0x400 && c < 0x40F", MODEL),
    M("case-bad-byte-dropped", TC, "out += text[i++];", "++i;", MODEL),
    M("case-upper-z", TC, "ch >= 'a' && ch <= 'z'", "ch >= 'a' && ch < 'z'", MODEL, LIVE),
    # Text decoding
    M("utf8-overlong-three", TE, "min = 0x800;", "min = 0x80;", MODEL),
    M("utf8-last-surrogate", TE, "c <= 0xDFFF", "c < 0xDFFF", MODEL),
    M("utf8-fast-path-first-byte", TE, "word & 0x8080808080808080ULL", "word & 0x8080808080808000ULL", MODEL),
    M("utf8-cut-short", TE, "if (i + len > n) return false;", "if (i + len > n + 1) return false;", MODEL),
    M("cp1252-nbsp", TE, "byte >= 0x80 && byte < 0xA0", "byte >= 0x80 && byte <= 0xA0", MODEL),
    M("cp1252-trade-mark", TE, "0x2122", "0x2121", MODEL),
    M("utf8-length-ef-lead", TE, "lead >= 0xE0 && lead <= 0xEF", "lead >= 0xE0 && lead < 0xEF", MODEL, CLI),
    # File writing
    M("write-mode-forgotten", FIO, "existing != nullptr ? (existing->st_mode & 0777) : DefaultFileMode()",
      "DefaultFileMode()", HARDENING),
    M("write-mode-setid-kept", FIO, "(existing->st_mode & 0777)", "(existing->st_mode & 07777)", HARDENING),
    M("write-new-file-executable", FIO, "return 0666 & ~mask;", "return 0777 & ~mask;", HARDENING),
    M("write-no-fsync-replace", FIO, "    if (::fsync(fd.get()) != 0) throw fail(errno);\n", "", HARDENING),
    M("write-no-fsync-backup", FIO, "        if (::fsync(copy.get()) != 0) throw fail(errno);\n", "", HARDENING),
    M("write-no-fsync-in-place", FIO, "    if (::fsync(target.get()) != 0) throw fail(errno);\n", "", HARDENING),
    M("write-temp-left-on-failure", FIO, "        ::unlink(temp.c_str());\n", "", HARDENING, SNAPSHOT),
    M("write-other-owner-replaced", FIO, "&& target.owner == user) return WriteStrategy::Replace",
      ") return WriteStrategy::Replace", HARDENING),
    M("write-hard-link-replaced", FIO, "target.links == 1", "target.links >= 1", HARDENING),
    M("write-any-fifo-streamed", FIO, "if (S_ISFIFO(target.mode) && target.stream)", "if (S_ISFIFO(target.mode))",
      HARDENING),
    M("write-link-of-folder-owner", FIO, "info.st_uid != ::geteuid() && info.st_uid != folder.st_uid",
      "info.st_uid != ::geteuid()", HARDENING),
    M("write-link-in-sticky-folder", FIO, "const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);",
      "const bool shared = false;", HARDENING),
    M("write-in-place-sticky-kept", FIO, "(existing.st_mode & 07000) != 0", "(existing.st_mode & 06000) != 0",
      HARDENING),
    M("read-limit-off-by-one", FIO, "static_cast<std::uintmax_t>(info.st_size) > limit",
      "static_cast<std::uintmax_t>(info.st_size) >= limit", ("hardening_test", "HostileSnapshot.*:HostileTarget.*")),
    M("read-stream-limit-off-by-one", FIO, "static_cast<std::size_t>(got) > limit - bytes.size()",
      "static_cast<std::size_t>(got) >= limit - bytes.size()", ("hardening_test", "HostileSnapshot.*")),
    M("same-file-device-only", FIO, "first.st_dev == second.st_dev && first.st_ino == second.st_ino",
      "first.st_dev == second.st_dev", CLI),
    M("write-no-interrupt-cleanup", FIO, "        ::unlink(pendingTemporary);\n", "", CRASH),
    # Command line: output and exit status
    M("exit-zero-on-one-difference", APP, "differences.Count() == 0 ? kNoDifferences",
      "differences.Count() <= 1 ? kNoDifferences", CLI),
    M("exit-zero-without-command", APP, "return args.empty() ? kTrouble : kNoDifferences;",
      "return kNoDifferences;", CLI),
    M("usage-on-stdout-without-command", APP, "(args.empty() ? err : out) << UsageText();",
      "out << UsageText();", CLI),
    M("format-unchecked", APP, 'if (options.format != "text" && options.format != "json")',
      "if (options.format.empty())", CLI),
    M("template-without-html", APP, "!options.templateFile.empty() && options.htmlFile.empty()",
      "!options.templateFile.empty() && !options.htmlFile.empty()", CLI),
    M("third-side-ignored", APP, "if (positional.size() != 2)", "if (positional.size() < 2)", CLI),
    M("option-value-past-end", APP, "if (i + 1 >= args.size()) throw UsageError{arg + \" needs a value\"};",
      "if (i + 1 > args.size()) throw UsageError{arg + \" needs a value\"};", CLI, occurrence=0),
    M("lost-output-passes", APP, "if (recorded && recorder.Error() == 0) return status;", "return status;", CLI),
    M("report-may-overwrite-side", APP, "if (!options.htmlFile.empty() && SameFile(options.htmlFile, *side))",
      "if (false)", CLI),
    M("names-apart-one-folder-short", APP, "std::min(same + 1, names.size())", "std::min(same, names.size())",
      CLI),
    M("snapshot-exit-one", APP, "return kNoDifferences;", "return kDifferences;", ("live_postgres_test", "PostgresCli.*"),
      occurrence=0),
    M("password-variable-ignored", APP, "if (environment.passwordVariable) return *environment.passwordVariable;", "",
      LIVE),
    M("integrated-gets-password", APP, "if (side.integratedSecurity) return {};", "", LIVE),
    M("same-snapshot-named-by-path", APP, " ||\n        SameFile(side1.snapshotPath, side2.snapshotPath))", ")",
      CLI),
    M("text-column-gap", OUT, "+ 2, ' ');", "+ 1, ' ');", CLI),
    M("text-header-without-rows", OUT, "if (rowCount > 0) {", "if (rowCount >= 0) {", CLI),
    M("json-delete-raw", OUT, "byte < 0x20 || byte == 0x7F", "byte < 0x20", CLI),
    M("json-last-c1-raw", OUT, "static_cast<unsigned char>(text[i + 1]) < 0xA0",
      "static_cast<unsigned char>(text[i + 1]) < 0x9F", CLI),
    # Live addresses
    M("address-timeout-max-refused", LS, "seconds > kMaxQueryTimeoutSeconds", "seconds >= kMaxQueryTimeoutSeconds",
      LIVE),
    M("address-timeout-zero-taken", LS, "seconds < 1 ||", "", LIVE),
    M("address-hex-capital-f", LS, "c >= 'A' && c <= 'F'", "c >= 'A' && c < 'F'", LIVE),
    M("address-pg-user-not-integrated", LS, "side.integratedSecurity = address.user.empty();",
      "side.integratedSecurity = false;", LIVE),
    M("address-sql-port-separator", LS, 'side.serverName += "," + address.port;',
      'side.serverName += ":" + address.port;', LIVE),
    M("address-pwd-key-taken", LS, 'if (key == "PASSWORD" || key == "PWD") throw',
      'if (key == "PASSWORD") throw', LIVE),
    M("address-pwd-key-shown", LS, 'if (key == "PASSWORD" || key == "PWD") return',
      'if (key == "PASSWORD") return', LIVE),
    M("address-integrated-yes", LS, 'upper == "TRUE" || upper == "YES" ||', 'upper == "TRUE" ||', LIVE),
    M("address-scheme-case", LS, "AsciiUpper(text.substr(0, prefix.size())) == AsciiUpper(prefix)",
      "text.substr(0, prefix.size()) == prefix", LIVE),
    M("address-postgres-alias", LS, '{"postgresql://", "postgres://"}', '{"postgresql://", "postgresql://"}',
      LIVE),
    M("address-ipv6-port", LS, "port = host.substr(close + 2);", "port = host.substr(close + 1);", LIVE),
    M("address-empty-database", LS, "if (!haveDatabase || side.databaseName.empty())", "if (!haveDatabase)",
      LIVE),
    # The snapshot writer's refusals
    M("snapshot-star-allowed", SW, 'value.find_first_of("*\\r\\n")', 'value.find_first_of("\\r\\n")', SNAPSHOT),
    M("snapshot-routines-unchecked", SW, '    CheckNames(model.Routines(), "the routine");\n', "", SNAPSHOT),
    M("snapshot-user-unchecked", SW,
      '    CheckValue(header.UserName, [&] { return "the user name " + Quoted(header.UserName); });\n', "",
      SNAPSHOT),
    M("snapshot-colon-column", SW, "field->FieldName.front() == ':'", "field->FieldName.front() == '*'",
      SNAPSHOT),
    M("snapshot-size-unchecked", SW, "CheckValue(field->FieldSize,", "(void)(field->FieldSize,", SNAPSHOT),
    M("snapshot-table-carriage-return", SW, 'return text.find_first_of("\\r\\n")', 'return text.find_first_of("\\n")',
      SNAPSHOT),
    # PostgreSQL's system schemas
    M("pg-schema-underscore-unescaped", SQ, "NOT LIKE 'pg\\\\_%'", "NOT LIKE 'pg_%'", POSTGRES),
    M("pg-information-schema-listed", SQ, "NOT IN ('pg_catalog', 'information_schema')", "NOT IN ('pg_catalog')",
      POSTGRES),
    # Repeated names in the engine
    M("index-third-copy-lost", NI, "next_[last_[held - 1]] = index;", "next_[held - 1] = index;", COMPARE),
    M("index-chain-end-stale", NI, "                last_[held - 1] = index;\n", "", COMPARE),
    M("index-table-full", NI, "while (size < count * 2)", "while (size < count)", COMPARE),
    M("engine-forward-first-copy-only", CE, "PairKey(match, i));\n                continue;",
      "PairKey(match, i));\n                break;", COMPARE),
    M("engine-backward-pair-swapped", CE, "const std::uint64_t pair = PairKey(i, match);",
      "const std::uint64_t pair = PairKey(match, i);", COMPARE),
    M("engine-repeated-column-missing", CE, "if (!bMatched[x] && !nameMatched(x))", "if (!bMatched[x])", COMPARE),
    M("engine-same-position-unchecked", CE, "} else if (n < bCount && SameName(bFields.NameAt(n), field)) {",
      "} else if (n < bCount) {", COMPARE),
    M("engine-long-name-head-ignored", CE, "        if (u != v) return false;\n", "", COMPARE),
]
# Left out as equivalent (no observable difference):
#  - the ASCII branch of FoldCodePoint: ASCII never reaches it.
#  - the lead-byte mask in DecodeAt / IsValidUtf8 (0x7F >> len vs 0xFF >> len): bit 5 of a lead is 0.
#  - NameIndex comparing hashes before names: only a full 64-bit hash collision would tell.
#  - keeping the padding after a row's last cell: the message, always last, is never empty.


def run(cmd, log, timeout=None, env=None):
    with open(log, "a") as out:
        out.write("\n$ " + " ".join(cmd) + "\n")
        out.flush()
        try:
            return subprocess.run(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT, timeout=timeout,
                                  env=env).returncode
        except subprocess.TimeoutExpired:
            out.write("(timed out)\n")
            return -1


def configure(build, log):
    if os.path.exists(os.path.join(ROOT, build, "build.ninja")):
        return True
    cmd = ["cmake", "-S", ".", "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
           "-DTABLOR_BUILD_GUI=OFF", "-DTABLOR_BUILD_BENCH=OFF"]
    if shutil.which("ccache"):
        cmd.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    return run(cmd, log) == 0


def targets_of(mutants):
    seen = []
    for m in mutants:
        for t in [p for p, _ in m.tests] + m.extra_targets:
            if t not in seen:
                seen.append(t)
    return seen


def build(build_dir, targets, jobs, log):
    return run(["cmake", "--build", build_dir, "-j", str(jobs), "--target"] + targets, log) == 0


def run_tests(build_dir, tests, log):
    """True when every test program passes."""
    for program, pattern in tests:
        path = os.path.join(ROOT, build_dir, "bin", program)
        if run([path, "--gtest_filter=" + pattern, "--gtest_brief=1"], log, timeout=TEST_TIMEOUT) != 0:
            return False
    return True


def find_span(text, m):
    start = -1
    for _ in range((m.occurrence or 0) + 1):
        start = text.find(m.find, start + 1)
        if start < 0:
            return None
    if m.occurrence is None and text.find(m.find, start + 1) >= 0:
        raise SystemExit(f"{m.name}: the text occurs more than once in {m.file}; name the occurrence")
    return start


def check_texts(mutants):
    bad = []
    for m in mutants:
        with open(os.path.join(ROOT, m.file), encoding="utf-8") as f:
            if find_span(f.read(), m) is None:
                bad.append(m.name)
    if bad:
        raise SystemExit("text not found for: " + ", ".join(bad))


def needs_postgres(mutants):
    return any(p == "live_postgres_test" for m in mutants for p, _ in m.tests)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", nargs="+", metavar="NAME", help="run these mutants (NAME* for a prefix)")
    parser.add_argument("--list", action="store_true", help="list the mutants")
    parser.add_argument("--build", default="build-mutants", help="build folder (default build-mutants)")
    parser.add_argument("-j", "--jobs", type=int, default=2)
    parser.add_argument("--log", default=None, help="log file (default BUILD/mutants.log)")
    args = parser.parse_args()

    names = [m.name for m in MUTANTS]
    if len(set(names)) != len(names):
        raise SystemExit("two mutants share a name")
    mutants = MUTANTS
    if args.only:
        def wanted(name):
            return any(name == o or (o.endswith("*") and name.startswith(o[:-1])) for o in args.only)
        mutants = [m for m in MUTANTS if wanted(m.name)]
        if not mutants:
            raise SystemExit("no mutant matches " + " ".join(args.only))
    if args.list:
        for m in mutants:
            tests = ", ".join(f"{p}[{f}]" for p, f in m.tests)
            print(f"{m.name:36} {m.file:34} {tests}")
        print(f"{len(mutants)} mutants")
        return 0
    check_texts(mutants)

    os.makedirs(os.path.join(ROOT, args.build), exist_ok=True)
    log = args.log or os.path.join(ROOT, args.build, "mutants.log")
    open(log, "w").close()
    print(f"log: {log}", flush=True)
    if not configure(args.build, log):
        raise SystemExit("configure failed; see the log")

    pg_state = os.path.join(ROOT, args.build, "tests", "live", "pg-fixture.env")
    pg_started = False
    results = []
    try:
        if needs_postgres(mutants):
            print("starting PostgreSQL for the live tests", flush=True)
            if run(["bash", "tests/live/pg_fixture.sh", "start", pg_state], log, timeout=180) != 0:
                raise SystemExit("the PostgreSQL fixture did not start; see the log")
            pg_started = True

        # The unmutated tree must pass what the mutants will run, or every mutant looks killed.
        print("baseline build and tests", flush=True)
        if not build(args.build, targets_of(mutants), args.jobs, log):
            raise SystemExit("the unmutated tree does not build; see the log")
        baseline = []
        for m in mutants:
            for t in m.tests:
                if t not in baseline:
                    baseline.append(t)
        if not run_tests(args.build, baseline, log):
            raise SystemExit("the unmutated tree fails its tests; see the log")

        for number, m in enumerate(mutants, 1):
            path = os.path.join(ROOT, m.file)
            with open(path, encoding="utf-8") as f:
                original = f.read()
            start = find_span(original, m)
            mutated = original[:start] + m.replace + original[start + len(m.find):]
            began = time.monotonic()
            try:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(mutated)
                with open(log, "a") as out:
                    out.write(f"\n===== {m.name}\n")
                targets = [p for p, _ in m.tests] + m.extra_targets
                if not build(args.build, list(dict.fromkeys(targets)), args.jobs, log):
                    outcome = "killed (build)"
                elif run_tests(args.build, m.tests, log):
                    outcome = "SURVIVED"
                else:
                    outcome = "killed"
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original)
            seconds = time.monotonic() - began
            results.append((m, outcome, seconds))
            print(f"[{number}/{len(mutants)}] {m.name:36} {outcome:15} {seconds:5.0f}s", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the mutated file was restored", flush=True)
    finally:
        if pg_started:
            run(["bash", "tests/live/pg_fixture.sh", "stop", pg_state], log, timeout=120)

    if not results:
        return 1
    print()
    print(f"{'mutant':36} {'file':34} outcome")
    for m, outcome, _ in results:
        print(f"{m.name:36} {m.file:34} {outcome}")
    killed = sum(1 for _, o, _ in results if o.startswith("killed"))
    by_build = sum(1 for _, o, _ in results if o == "killed (build)")
    print()
    print(f"score: {killed}/{len(results)} killed = {100.0 * killed / len(results):.0f}% "
          f"({by_build} by a failing build)")
    survivors = [m.name for m, o, _ in results if o == "SURVIVED"]
    if survivors:
        print("survivors: " + " ".join(survivors))
    return 0 if not survivors else 1


if __name__ == "__main__":
    sys.exit(main())
