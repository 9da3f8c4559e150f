#!/usr/bin/env python3
"""Plants small plausible faults in the core, the command line, the reader process and the
window, one at a time, and runs the tests that should notice each. Run on demand; only
--check runs with every test run (a CTest test).

    scripts/mutate.py                 every mutant
    scripts/mutate.py --only NAME ... some of them (a NAME ending in * is a prefix)
    scripts/mutate.py --list          the mutants and the tests each runs
    scripts/mutate.py --check         fails when a mutant's text is no longer in the code
    scripts/mutate.py --build DIR     build in DIR (default build-mutants)

A mutant whose build fails counts as killed, and is shown as such separately. The mutated file
is always restored, also on Ctrl-C; a file with uncommitted changes is not mutated (someone may
be editing it) unless --allow-uncommitted is given. The live tests' servers are started as
needed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEST_TIMEOUT = 60  # seconds per test program (none takes 10); a hang counts as killed


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
REPORT = ("report_test", "*")
HARDENING = ("hardening_test", "HostileTarget.*:HostileReport.*")
CRASH = ("hardening_test", "CrashSafety.*")
CLI = ("cli_test", "*")
SERVER_TEXT = ("server_text_test", "*")
LIVE = ("live_core_test", "LiveSide*")
CONNECTION = ("live_core_test", "*ConnectionString*:FillTest.*")
WIRE = ("live_core_test", "ReaderWire.*")
POSTGRES = ("live_postgres_test", "PostgresFill.*")
PG_CLI = ("live_postgres_test", "PostgresCli.*")
PG_STALL = ("live_postgres_test", "PostgresCli.StalledServerWritesNoSnapshot")
SQLSERVER = ("live_sqlserver_test", "SqlServerPath.*")
STALLS = ("live_sqlserver_test", "SqlServerPath.Stalled*:SqlServerPath.Silent*:ReaderProcesses.TwoSilent*")
CANCEL = ("live_sqlserver_test", "ReaderProcesses.CancelEnds*")
READERS = ("live_sqlserver_test", "ReaderProcesses.*")
CRASHING_DRIVER = ("live_sqlserver_test", "ReaderProcesses.ADriverThatCrashes*")
INJECTION = ("live_injection_test", "*")
WINDOW_CANCEL = ("gui_live_test", "SqlServerWindow.Cancel*")
WINDOW_CRASH = ("gui_live_test", "SqlServerWindow.ADriverThatCrashes*")
WINDOW_FOLDER = ("gui_hardening_test", "HostileSnapshotFolder.*")
DIFFERENCES = ("gui_test", "Differences*")
SCRIPT_DIALOG = ("gui_test", "ScriptDialog.*")
VIEWER = ("viewer_test", "StructureViewer.*")
MIGRATE = ("migrate_test", "*")
PG_MIGRATE = ("live_postgres_definitions_test", "*Migrations*")
PG_ROUND_TRIPS = ("live_postgres_definitions_test", "*EachChange*")
MY_MIGRATE = ("live_mariadb_definitions_test", "*Migrations*")
SS_MIGRATE = ("live_sqlserver_test", "SqlServerDefinitions.EachChange*")
PG_ALIKE = ("live_postgres_definitions_test", "*EqualSchemas*")

TC = "src/support/TextCase.cpp"
TE = "src/support/TextEncoding.cpp"
FIO = "src/support/FileIO.cpp"
CF = "src/model/coFields.cpp"
SL = "src/sources/SnapshotLines.cpp"
CP = "src/support/ChildProcess.cpp"
APP = "src/cli/CliApp.cpp"
ARGS = "src/cli/CliArguments.cpp"
OUT = "src/cli/DifferenceOutput.cpp"
SVC = "src/service/ComparisonService.cpp"
LA = "src/sources/LiveAddress.cpp"
OCS = "src/sources/OdbcConnectionString.cpp"
CT = "src/sources/ConnectionText.cpp"
SW = "src/sources/SnapshotWriter.cpp"
SQ = "src/sources/SchemaQueries.cpp"
CPR = "src/sources/ChildProcessReader.cpp"
RW = "src/sources/ReaderWire.cpp"
RS = "src/sources/ReaderService.cpp"
PDC = "src/sources/odbc/PrivateDriverConfig.cpp"
HR = "src/report/HtmlReport.cpp"
NI = "src/compare/NameIndex.cpp"
CE = "src/compare/cCompareEngine.cpp"
DC = "src/compare/DefinitionComparison.cpp"
SD = "src/sources/SnapshotDefinitions.cpp"
MAIN = "src/workbench/Main.cpp"
CMDS = "src/workbench/MainCommands.cpp"
DM = "src/workbench/DifferencesModel.cpp"
STM = "src/viewer/StructureTreeModel.cpp"
MP = "src/migrate/MigrationPlanner.cpp"
MS = "src/migrate/MigrationScript.cpp"
PGD = "src/migrate/PostgresDialect.cpp"
MYD = "src/migrate/MySqlDialect.cpp"
SSD = "src/migrate/SqlServerDialect.cpp"
SQD = "src/migrate/SqlDialect.cpp"

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
    # Columns kept in blocks, and snapshots read in blocks
    M("columns-slots-stale-after-removal", CF, "if (extra_) extra_->hashSlots.Rebuild(hashes_, keyCount_);", "", MODEL),
    M("columns-old-block-not-shared", CF, "for (const auto& block : extra_->oldBlocks)",
      "for (const auto& block : std::vector<std::shared_ptr<Block>>{})", MODEL),
    M("lines-cr-at-block-end", SL, "(text_[end] == '\\n' || end + 1 < text_.size())", "true", SNAPSHOT),
    M("lines-mark-kept-in-windows-text", SL, "OpensWithByteOrderMark(fd) ? 3 : 0", "0", SNAPSHOT),
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
    # Command line: arguments, output and exit status
    M("exit-zero-on-one-difference", APP, "differences.Count() == 0 ? kNoDifferences",
      "differences.Count() <= 1 ? kNoDifferences", CLI),
    M("exit-zero-without-command", APP, "err << UsageText();\n            return kTrouble;",
      "err << UsageText();\n            return kNoDifferences;", CLI),
    M("usage-on-stdout-without-command", APP, "            err << UsageText();", "            out << UsageText();",
      CLI),
    M("format-unchecked", ARGS,
      'if (compare.format != "text" && compare.format != "json" && compare.format != "markdown" &&',
      "if (compare.format.empty() &&", CLI),
    M("template-without-html", ARGS, "!compare.templateFile.empty() && compare.htmlFile.empty()",
      "!compare.templateFile.empty() && !compare.htmlFile.empty()", CLI),
    M("third-side-ignored", ARGS, "if (positional.size() != 2)", "if (positional.size() < 2)", CLI,
      occurrence=0),
    M("include-takes-the-sides", ARGS, '->type_name("GLOB")->allow_extra_args(false);',
      '->type_name("GLOB")->allow_extra_args(true);', CLI, occurrence=0),
    M("lost-output-passes", APP, "if (recorded && recorder.Error() == 0) return status;", "return status;", CLI),
    M("report-may-overwrite-side", APP,
      "if (!options.htmlFile.empty() && SameFile(options.htmlFile, SnapshotPath(*side)))", "if (false)", CLI),
    M("names-apart-one-folder-short", SVC, "std::min(same + 1, names.size())", "std::min(same, names.size())",
      CLI),
    M("snapshot-exit-one", APP, "return kNoDifferences;", "return kDifferences;", ("live_postgres_test", "PostgresCli.*"),
      occurrence=0),
    M("password-variable-ignored", APP, "if (environment.passwordVariable) return *environment.passwordVariable;", "",
      LIVE),
    M("integrated-gets-password", APP, "if (side.integratedSecurity) return {};", "", LIVE),
    M("same-snapshot-named-by-path", SVC, " ||\n        SameFile(side1.snapshotPath, side2.snapshotPath))", ")",
      CLI),
    M("text-column-gap", OUT, "+ 2, ' ');", "+ 1, ' ');", CLI),
    M("text-padding-counts-bytes", OUT, "std::min(width[c], CodePointCount(cell))", "std::min(width[c], cell.size())",
      CLI),
    M("text-header-without-rows", OUT, "if (rowCount > 0) {", "if (rowCount >= 0) {", CLI),
    M("json-delete-raw", OUT, "byte < 0x20 || byte == 0x7F", "byte < 0x20", CLI),
    M("json-last-c1-raw", OUT, "static_cast<unsigned char>(text[i + 1]) < 0xA0",
      "static_cast<unsigned char>(text[i + 1]) < 0x9F", CLI),
    # Live addresses and the window's server text
    M("address-timeout-max-refused", LA, "seconds > kMaxQueryTimeoutSeconds", "seconds >= kMaxQueryTimeoutSeconds",
      LIVE),
    M("address-timeout-zero-taken", LA, "seconds < 1 ||", "", LIVE),
    M("address-hex-capital-f", LA, "c >= 'A' && c <= 'F'", "c >= 'A' && c < 'F'", LIVE),
    M("address-pg-user-not-integrated", LA, "side.integratedSecurity = address.user.empty();",
      "side.integratedSecurity = false;", LIVE),
    M("address-sql-port-separator", LA, 'side.serverName += "," + address.port;',
      'side.serverName += ":" + address.port;', LIVE),
    M("address-pwd-key-taken", LA, 'if (key == "PASSWORD" || key == "PWD") throw',
      'if (key == "PASSWORD") throw', LIVE),
    M("address-pwd-key-shown", LA, 'if (key == "PASSWORD" || key == "PWD") return',
      'if (key == "PASSWORD") return', LIVE),
    M("address-integrated-yes", LA, 'upper == "TRUE" || upper == "YES" ||', 'upper == "TRUE" ||', LIVE),
    M("address-scheme-case", LA, "AsciiUpper(text.substr(0, prefix.size())) == AsciiUpper(prefix)",
      "text.substr(0, prefix.size()) == prefix", LIVE, SERVER_TEXT),
    M("address-postgres-alias", LA, '{"postgresql://", "postgres://"}', '{"postgresql://", "postgresql://"}',
      LIVE),
    M("address-ipv6-port", LA, "text.substr(close + 2), {}}", "text.substr(close + 1), {}}", LIVE),
    M("address-empty-database", LA, "if (!haveDatabase || side.databaseName.empty())", "if (!haveDatabase)",
      LIVE),
    M("server-text-postgres-alias", LA, '{"postgres://", DatabaseEngine::PostgreSql}',
      '{"postgresql://", DatabaseEngine::PostgreSql}', SERVER_TEXT),
    # Connection texts
    M("mariadb-host-comma", OCS, 'setting.value.find_first_of(";=,")', 'setting.value.find_first_of(";=")',
      CONNECTION, INJECTION),
    M("mariadb-host-scheme", OCS, 'setting.value.find("://") != std::string_view::npos)', "false)", CONNECTION,
      INJECTION),
    M("mariadb-host-unchecked", OCS, '    CheckMariaDbClientHost({"server name", address.host});\n', "",
      CONNECTION, INJECTION),
    M("shown-empty-password", CT, 'return Build(settings, "****");',
      'return Build(settings, settings.password.empty() ? "" : "****");', CONNECTION),
    # The snapshot writer's refusals
    M("snapshot-star-allowed", SW, 'value.find_first_of("*\\r\\n")', 'value.find_first_of("\\r\\n")', SNAPSHOT),
    M("snapshot-lone-cr-allowed", SW, 'value.find_first_of("*\\r\\n") == ', 'value.find_first_of("*\\n") == ',
      SNAPSHOT),
    M("snapshot-routines-unchecked", SW, '    CheckNames(model.Routines(), "the routine");\n', "", SNAPSHOT),
    M("snapshot-user-unchecked", SW,
      '    CheckValue(header.UserName, [&] { return "the user name " + Quoted(header.UserName); });\n', "",
      SNAPSHOT),
    M("snapshot-colon-column", SW, "field->FieldName.front() == ':'", "field->FieldName.front() == '*'",
      SNAPSHOT),
    M("snapshot-type-unchecked", SW, "CheckValue(field->FieldType,", "(void)(field->FieldType,", SNAPSHOT),
    M("snapshot-size-unchecked", SW, "CheckValue(field->FieldSize,", "(void)(field->FieldSize,", SNAPSHOT),
    M("snapshot-table-carriage-return", SW, 'return text.find_first_of("\\r\\n")', 'return text.find_first_of("\\n")',
      SNAPSHOT),
    M("snapshot-table-line-feed", SW, 'return text.find_first_of("\\r\\n")', 'return text.find_first_of("\\r")',
      SNAPSHOT),
    # The HTML report
    M("report-second-name-unescaped", HR, '{"[object2name]", EscapeHtml(object2Name)}',
      '{"[object2name]", std::string(object2Name)}', REPORT),
    M("report-no-rows-name-unescaped", HR, "AppendEscapedMarkup(document, object2Name);",
      "document += object2Name;", REPORT),
    # PostgreSQL's system schemas
    M("pg-schema-underscore-unescaped", SQ, "NOT LIKE 'pg\\\\_%'", "NOT LIKE 'pg_%'", POSTGRES),
    M("pg-information-schema-listed", SQ, "NOT IN ('pg_catalog', 'information_schema')", "NOT IN ('pg_catalog')",
      POSTGRES),
    # The reader process: starting, ending and waiting for it
    M("reader-killed-alone", CP, "::kill(-pid_, SIGKILL)", "::kill(pid_, SIGKILL)", READERS),
    M("reader-in-our-group", CP, "POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK", "POSIX_SPAWN_SETSIGMASK",
      CANCEL),
    M("reader-not-waited-for", CP, "::waitpid(pid_, &status, 0)", "::waitpid(pid_, &status, WNOHANG)", READERS),
    M("reader-signal-untold", CP, "if (WIFSIGNALED(status)) {", "if (false) {", CRASHING_DRIVER),
    M("reader-gets-the-password", CP, '        if (variable.starts_with("TABLOR_PASSWORD")) continue;\n', "",
      CANCEL),
    M("reader-login-deadline-late", CPR, "loop.deadline = After(settings.loginTimeoutSeconds);",
      "loop.deadline = After(settings.loginTimeoutSeconds + 5);", STALLS),
    M("reader-no-query-deadline", CPR, "                deadline = After(settings_.queryTimeoutSeconds);\n", "",
      STALLS, PG_STALL),
    M("reader-cancel-not-woken", CPR, "cancel.OnCancel([&wakeup] { wakeup.Raise(); })", "cancel.OnCancel([] {})",
      CANCEL),
    M("reader-deadline-stage-swapped", CPR, "            if (!loop.opened)\n                throw SessionOpenError(",
      "            if (loop.opened)\n                throw SessionOpenError(", STALLS),
    M("reader-crash-untold", CPR, '(ending.empty() ? std::string("exited without a word") : ending)',
      'std::string("exited without a word")', CRASHING_DRIVER),
    M("reader-crash-after-opening", CPR, "        if (!loop.opened) throw SessionOpenError(crashed);\n", "",
      CRASHING_DRIVER, WINDOW_CRASH),
    M("reader-failure-dropped", CPR, "    if (loop.failure) Rethrow(*loop.failure);\n", "", SQLSERVER),
    M("reader-open-failure-as-read", CPR, "reported.stage == wire::Stage::Open", "reported.stage == wire::Stage::Read",
      SQLSERVER),
    # What the program and its reader say to each other
    M("wire-frame-limit-off-by-one", RW, "if (length > kMaxFrameBytes)", "if (length > kMaxFrameBytes + 1)", WIRE),
    M("wire-frame-taken-short", RW, "if (buffer.size() - 5 < length) return false;",
      "if (buffer.size() - 4 < length) return false;", WIRE),
    M("wire-length-high-byte-lost", RW, "for (int i = 3; i >= 0; --i)", "for (int i = 2; i >= 0; --i)", WIRE),
    M("wire-field-past-its-frame", RW, '    if (rest_.size() - 4 < length) Garbled("a field runs past its frame");\n',
      "", WIRE),
    M("wire-trust-unset-is-false", RW, "if (!trust.empty()) settings.trustServerCertificate",
      "settings.trustServerCertificate", WIRE, SQLSERVER),
    M("wire-integrated-never-sent", RW, 'settings.integratedSecurity ? "1" : "0"', '"0"', WIRE, SQLSERVER),
    M("service-opened-untold", RS, "        channel.Send(wire::Frame::Opened, {});\n", "", SQLSERVER),
    M("service-read-failure-at-open", RS, "wire::AppendError(out, wire::Stage::Read,",
      "wire::AppendError(out, wire::Stage::Open,", SQLSERVER),
    M("service-query-start-untold", RS, "        channel_.Send(wire::Frame::Query, {});\n", "", STALLS, PG_STALL),
    M("service-section-count-unsent", RS, "        progress_.Flush();\n        channel_.Send(",
      "        channel_.Send(", POSTGRES),
    M("driver-config-trace-on", PDC, "Trace=No", "Trace=Yes", PG_CLI),
    M("driver-config-unused", PDC, 'if (std::getenv("ODBCSYSINI") != nullptr || std::getenv("ODBCINSTINI") != nullptr) return;',
      "return;", PG_CLI),
    M("driver-config-over-the-users", PDC, 'std::getenv("ODBCSYSINI") != nullptr || ', "", CRASHING_DRIVER),
    # The window
    M("window-esc-never-on", MAIN, "cancelShortcut_->setEnabled(true);", "cancelShortcut_->setEnabled(false);",
      WINDOW_CANCEL),
    M("window-folder-made-through-links", CMDS, "            MakeFolders(path);",
      "            std::filesystem::create_directories(path);", WINDOW_FOLDER),
    M("list-case-twins-in-arrival-order", DM, "return exact[a] < exact[b];", "return false;", DIFFERENCES),
    M("viewer-suffix-given-twice", STM, "if (given.count(candidate) != 0 || isPlainKey(candidate)) continue;",
      "if (isPlainKey(candidate)) continue;", VIEWER),
    # Repeated names in the engine
    M("index-third-copy-lost", NI, "next_[last[held.first - 1]] = index;", "next_[held.first - 1] = index;",
      COMPARE),
    M("index-chain-end-stale", NI, "                last[held.first - 1] = index;\n", "", COMPARE),
    M("index-table-full", NI, "while (size < count * 2)", "while (size < count)", COMPARE),
    M("engine-forward-first-copy-only", CE, "missingColumns, changes);\n                continue;",
      "missingColumns, changes);\n                break;", COMPARE),
    M("engine-backward-pair-swapped", CE, "const std::uint64_t pair = PairKey(i, match);",
      "const std::uint64_t pair = PairKey(match, i);", COMPARE),
    M("engine-repeated-column-missing", CE, "if (!bMatched[x] && !nameMatched(x))", "if (!bMatched[x])", COMPARE),
    M("engine-same-position-unchecked", CE,
      "} else if (n < bCount && samePositionFirst && Names::Same(b.NameAt(n), field)) {",
      "} else if (n < bCount && samePositionFirst) {", COMPARE),
    M("engine-long-name-head-ignored", "src/compare/SameText.hpp", "        if (u != v) return false;\n", "", COMPARE),
    # Definitions
    M("definition-unknown-side-compared", DC, "if (!a.Definition || !b.Definition) return;",
      "if (!a.Definition && !b.Definition) return;", COMPARE),
    M("definition-not-normalized", DC, " || SameOnceNormalized(value1, value2)) continue;", ") continue;",
      COMPARE),
    M("definition-ignore-unread", DC, " || Ignored(property)", "", COMPARE),
    M("definition-unlike-pair-remembered", DC, "    if (alike) alike_[", "    alike_[", COMPARE),
    M("definition-type-told-twice", CE, "if (!typeChanges || bothDefined ||", "if (!typeChanges ||", COMPARE),
    M("snapshot-known-empty-lost", SD, "taken.defined = parts > (named ? 2u : 1u);",
      "taken.defined = parts > (named ? 3u : 2u);", SNAPSHOT),
    M("snapshot-properties-unsorted", SD, "    std::stable_sort(properties.begin(), properties.end(),", "    if (false) std::stable_sort(properties.begin(), properties.end(),", CLI),
    M("snapshot-engine-lost", SD, "    model.Engine = engine_;\n", "", MIGRATE),
    # Migration scripts
    M("migrate-drop-not-held", MP, "if (statement.losesData && options_.allowDrop)", "if (statement.losesData)",
      MIGRATE),
    M("migrate-names-only-accepted", SVC, "if (!DefinitionsKnown(*side->model))", "if (false)", MIGRATE),
    M("migrate-nothing-to-do-written", APP, "    if (script.Empty()) return kNoDifferences;\n", "", MIGRATE),
    M("migrate-comment-line-break-kept", MS, "static_cast<unsigned char>(c) < 0x20 || ", "", MIGRATE),
    M("migrate-scale-ignored", SQD, "return s2 >= s1 && p2 - s2 >= p1 - s1;", "return p2 >= p1;", MIGRATE),
    M("migrate-default-left-on-column", SSD, "out.push_back(MigrationStatement::Run(DropDefault(table, desired.FieldName)));",
      "{}", SS_MIGRATE),
    M("migrate-views-over-changes-kept", MP, "if (changing.count(TableKey(*now, name)) == 0) continue;",
      "continue;", PG_MIGRATE),
    M("migrate-rekeyed-references-kept", MP, "if (rekeyed.count(referenced) == 0) continue;", "continue;",
      PG_MIGRATE),
    M("migrate-cycle-keys-with-tables", MP, "if ((withTable && !IsForeignKey(constraint)) ||", "if (withTable ||",
      PG_MIGRATE),
    M("migrate-overloads-one-key", MP, "key += \"(\" + *signature + \")\";", "(void)signature;", PG_MIGRATE),
    M("migrate-quote-unescaped", SQD, "        if (c == close) out += c;\n", "", PG_MIGRATE, MY_MIGRATE),
    M("migrate-mysql-body-delimiter", MYD, "if (!body || sql.find(';') == std::string::npos) return sql + \";\";",
      "return sql + \";\";", MY_MIGRATE),
    M("migrate-enum-values-reordered", PGD, "if (kept != before)", "if (false)", PG_ROUND_TRIPS),
    M("migrate-window-way-ignored", "src/workbench/ScriptDialog.cpp", "build_(optFirstLikeSecond->isChecked(),",
      "build_(false,", SCRIPT_DIALOG),
    M("migrate-window-drops-ignored", "src/workbench/ScriptDialog.cpp", "chkAllowDrop->isChecked()));", "false));",
      SCRIPT_DIALOG),
    M("migrate-partition-columns-altered", MP, "if (!partitions) PlanColumns(*now, *wanted);",
      "PlanColumns(*now, *wanted);", PG_MIGRATE),
    M("reader-constraint-definitions-always", "src/sources/SchemaExtraction.cpp",
      "if (std::find(constraintTypes.begin(), constraintTypes.end(), type) != constraintTypes.end())",
      "if (!type.empty())", ("live_core_test", "FillTest.*")),
    M("wire-column-definition-dropped", "src/sources/ReaderWire.cpp",
      "column.Definition = SharedDefinition(fields.Rest());", "(void)fields;", WIRE),
    M("mysql-sequence-name-unquoted", "src/sources/MySqlDefinitions.cpp", "if (c == '`') quoted += '`';",
      "", ("live_mariadb_definitions_test", "*EachChange*")),
    M("pg-definitions-column-privilege-ignored", "src/sources/PostgresDefinitions.cpp",
      "pg_catalog.pg_has_role(c.relowner, 'USAGE') OR pg_catalog.has_column_privilege(c.oid,",
      "TRUE OR pg_catalog.has_column_privilege(c.oid,", ("live_postgres_definitions_test", "*Columns*")),
    M("pg-definitions-column-length-off", "src/sources/PostgresDefinitions.cpp", "\" - 4 WHEN \"", "\" - 3 WHEN \"",
      PG_ALIKE),
]
# Left out as equivalent (no observable difference):
#  - the ASCII branch of FoldCodePoint: ASCII never reaches it.
#  - the lead-byte mask in DecodeAt / IsValidUtf8 (0x7F >> len vs 0xFF >> len): bit 5 of a lead is 0.
#  - NameIndex comparing hashes before names: only a full 64-bit hash collision would tell.
#  - keeping the padding after a row's last cell: the message, always last, is never empty.
#  - killing and reaping the reader before OperationCancelled is thrown: ~ChildProcess does both.
#  - zeroing the request and the password in memory: nothing outside the process can tell.


def run(cmd, log, timeout=None):
    with open(log, "a") as out:
        out.write("\n$ " + " ".join(cmd) + "\n")
        out.flush()
        try:
            return subprocess.run(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            out.write("(timed out)\n")
            return -1


def configure(build, log):
    if os.path.exists(os.path.join(ROOT, build, "build.ninja")):
        return True
    cmd = ["cmake", "-S", ".", "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
           "-DTABLOR_BUILD_BENCH=OFF"]
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


def text_problems(mutants):
    """Why each mutant could not be planted as written, by name."""
    problems = []
    names = [m.name for m in mutants]
    problems += [f"{name}: two mutants share the name" for name in sorted({n for n in names if names.count(n) > 1})]
    test_lists = ""
    for folder, _, files in os.walk(os.path.join(ROOT, "tests")):
        if "CMakeLists.txt" in files:
            with open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8") as f:
                test_lists += f.read()
    for m in mutants:
        path = os.path.join(ROOT, m.file)
        if not os.path.exists(path):
            problems.append(f"{m.name}: {m.file} does not exist")
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        try:
            if find_span(text, m) is None:
                problems.append(f"{m.name}: its text is not in {m.file}")
        except SystemExit as error:
            problems.append(str(error))
        if m.find == m.replace:
            problems.append(f"{m.name}: it changes nothing")
        for program, _ in m.tests:
            if program + " " not in test_lists and program + "\n" not in test_lists:
                problems.append(f"{m.name}: no test program {program} in tests/")
    return problems


# Test programs that need a server that tests/live starts, and the filters that reach one.
FIXTURES = {
    "postgres": ("pg_fixture.sh", "pg-fixture.env",
                 ("live_postgres_test", "live_postgres_definitions_test", "secrets_test"), "PostgresWindow"),
    "mariadb": ("mariadb_fixture.sh", "mariadb-fixture.env",
                ("live_mariadb_test", "live_mariadb_definitions_test", "live_injection_test"), "MariaDbWindow"),
}


def fixtures_needed(mutants):
    needed = []
    for name, (_, _, programs, window_suite) in FIXTURES.items():
        for m in mutants:
            for program, pattern in m.tests:
                if program in programs or (program == "gui_live_test" and (pattern == "*" or window_suite in pattern)):
                    if name not in needed:
                        needed.append(name)
    return needed


def uncommitted(path):
    """True when git has changes to the file that are not committed: someone may be editing it."""
    result = subprocess.run(["git", "status", "--porcelain", "--", path], cwd=ROOT, capture_output=True, text=True)
    return result.returncode != 0 or result.stdout.strip() != ""


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", nargs="+", metavar="NAME", help="run these mutants (NAME* for a prefix)")
    parser.add_argument("--list", action="store_true", help="list the mutants")
    parser.add_argument("--check", action="store_true",
                        help="only check that every mutant's text is in the code; builds nothing")
    parser.add_argument("--build", default="build-mutants", help="build folder (default build-mutants)")
    parser.add_argument("-j", "--jobs", type=int, default=2)
    parser.add_argument("--log", default=None, help="log file (default BUILD/mutants.log)")
    parser.add_argument("--allow-uncommitted", action="store_true",
                        help="also mutate files with uncommitted changes (skipped otherwise)")
    args = parser.parse_args()

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
            print(f"{m.name:36} {m.file:38} {tests}")
        print(f"{len(mutants)} mutants")
        return 0
    problems = text_problems(mutants)
    if problems:
        print("\n".join(problems), file=sys.stderr)
        raise SystemExit(f"{len(problems)} mutant(s) no longer match the code: move each to where its logic "
                         "lives now, in scripts/mutate.py")
    if args.check:
        print(f"{len(mutants)} mutants match the code")
        return 0

    os.makedirs(os.path.join(ROOT, args.build), exist_ok=True)
    log = args.log or os.path.join(ROOT, args.build, "mutants.log")
    open(log, "w").close()
    print(f"log: {log}", flush=True)
    if not configure(args.build, log):
        raise SystemExit("configure failed; see the log")

    started = []
    results = []
    began_run = time.monotonic()
    try:
        for name in fixtures_needed(mutants):
            script, state, _, _ = FIXTURES[name]
            print(f"starting {name} for the live tests", flush=True)
            state_path = os.path.join(ROOT, args.build, "tests", "live", state)
            if run(["bash", "tests/live/" + script, "start", state_path], log, timeout=180) != 0:
                raise SystemExit(f"the {name} fixture did not start; see the log")
            started.append((script, state_path))

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
            began = time.monotonic()
            targets = list(dict.fromkeys([p for p, _ in m.tests] + m.extra_targets))
            if not args.allow_uncommitted and uncommitted(path):
                # Another engineer's work in progress must never be overwritten.
                outcome = "skipped"
            else:
                with open(path, encoding="utf-8") as f:
                    original = f.read()
                start = find_span(original, m)
                mutated = original[:start] + m.replace + original[start + len(m.find):]
                try:
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(mutated)
                    with open(log, "a") as out:
                        out.write(f"\n===== {m.name}\n")
                    if not build(args.build, targets, args.jobs, log):
                        outcome = "killed (build)"
                    elif run_tests(args.build, m.tests, log):
                        outcome = "SURVIVED"
                    else:
                        outcome = "killed"
                finally:
                    with open(path, encoding="utf-8") as f:
                        current = f.read()
                    if current == mutated:
                        with open(path, "w", encoding="utf-8") as f:
                            f.write(original)
                    else:
                        print(f"{m.file} changed during the run and was left as it is: check it", flush=True)
                # A build that fails on the restored tree too was broken by someone else's change.
                if outcome == "killed (build)" and not build(args.build, targets, args.jobs, log):
                    raise SystemExit(f"the unmutated tree no longer builds after {m.name}; see the log")
            seconds = time.monotonic() - began
            results.append((m, outcome, seconds))
            print(f"[{number}/{len(mutants)}] {m.name:36} {outcome:15} {seconds:5.0f}s", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the mutated file was restored", flush=True)
    finally:
        for script, state_path in started:
            run(["bash", "tests/live/" + script, "stop", state_path], log, timeout=120)

    if not results:
        return 1
    print()
    print(f"{'mutant':36} {'file':38} outcome")
    for m, outcome, _ in results:
        print(f"{m.name:36} {m.file:38} {outcome}")
    run_ = [(m, o) for m, o, _ in results if o != "skipped"]
    killed = sum(1 for _, o in run_ if o.startswith("killed"))
    by_build = sum(1 for _, o in run_ if o == "killed (build)")
    minutes = (time.monotonic() - began_run) / 60
    print()
    if run_:
        print(f"score: {killed}/{len(run_)} killed = {100.0 * killed / len(run_):.0f}% "
              f"({by_build} by a failing build) in {minutes:.0f} min")
    skipped = [m.name for m, o, _ in results if o == "skipped"]
    if skipped:
        print("skipped (their files have uncommitted changes): " + " ".join(skipped))
    survivors = [m.name for m, o, _ in results if o == "SURVIVED"]
    if survivors:
        print("survivors: " + " ".join(survivors))
    return 0 if not survivors and not skipped else 1


if __name__ == "__main__":
    sys.exit(main())
