#include "cli/HelpText.hpp"

namespace tablor::cli {
namespace {

constexpr std::string_view kIntro =
    R"(Compares the structure of two databases and lists what one has and the other lacks:
tables and their columns, table constraints, views, stored procedures and functions.
)";

constexpr std::string_view kCompare =
    R"(  compare SIDE1 SIDE2 [--format text|json|markdown|junit] [--html FILE [--template FILE]]
          [OPTIONS]
      Compares two sides. A side is a snapshot file (.snp), - for a snapshot read from
      standard input, or a live database.
      A snapshot is named by its file name; two of one name in different folders are
      named by as many of their folders as tell them apart (a/v1/shop.snp, b/v1/shop.snp).
      --format text   aligned columns, as the window lists them, then the count (default)
      --format json   one JSON object with every difference record
      --format markdown
                      the counts by kind, then a Markdown table of the rows, for a
                      pull-request comment
      --format junit  JUnit XML for a CI server: a test suite per kind, each difference a
                      failed test case; a green run when there are none
      --html FILE     also writes the HTML report to FILE
      --template FILE the report template (default: the one Tablor ships)
      --color WHEN    colours the kind column and the count line of the text format:
                      auto (on a terminal, unless NO_COLOR is set), always or never
      The report may not be one of the compared snapshots, a named pipe or a socket.
      Snapshot and template files over 1 GiB are refused: no real schema is that large.

    Comparison options (all off by default; when any is on, the last line of the text,
    "options" in the JSON and the report's first row say which):
      --column-changes  also lists a column of a same-named table whose type or size
                        differs ("Field changed"), going from SIDE1
      --ignore-case     names of every kind, and column names, match ignoring letter case
      --ignore-generated-names
                        constraint names a server made up (PK__Orders__C3905BAF5AAE4BD6)
                        match when alike without their trailing "__" and hex digits
      --definitions     also compares what each side's catalogue tells inside objects that
                        both hold: a column's full type, nullability, default, identity,
                        generated expression, collation and comment ("Field changed"); a
                        constraint's, view's, routine's or table's definition ("View changed",
                        ...); and the indexes, triggers, sequences and types one side lacks.
                        A side that does not know a definition (an older snapshot) is never
                        reported as changed
      --ignore PROPERTIES
                        leaves these properties of definitions out (comma-separated:
                        comment,collation)
      --include GLOB    compares only tables, views, routines and constraints whose name
                        matches (repeatable; * and ? are the wildcards; letter case ignored)
      --exclude GLOB    leaves out what matches (repeatable; wins over --include); a GLOB
                        with a "." also leaves out the columns whose TABLE.COLUMN matches
      --only KINDS      lists only these kinds: tables,columns,views,procedures,functions,
                        constraints,changes, and with --definitions indexes,triggers,
                        sequences,types (comma-separated); a changed object counts as its kind,
                        a changed column as changes
      --options FILE    reads these options from a TOML file (keys as the flags without
                        the dashes: column-changes = true, include = ["sales_*"], ...);
                        flags given on the command line win over the file
      Without --options, the nearest .tablor.toml in the current folder or a folder above
      it is read as the options file; --no-options-file leaves it unread.
)";

constexpr std::string_view kSnapshot = R"(  snapshot DATABASE -o FILE.snp
      Reads a live database and writes its structure to a snapshot file, which can be
      compared later without reaching the server. An existing file is replaced.
      -o - writes the snapshot to standard output, and the line that counts what it
      holds to standard error.
)";

constexpr std::string_view kShow = R"(  show SOURCE [--definitions] [--format text|json]
      Prints the structure of a snapshot file (- for standard input) or a live database
      as the structure viewer shows it, as an indented tree: tables with their columns
      (type and size), views, stored procedures and functions, each group sorted by name.
      --definitions       reads a live database's definitions too, and lists each
                          element's and column's properties under it, then constraints,
                          indexes, triggers, sequences and types
      --format json       one JSON document: every element with its kind, schema, name and
                          properties (null where unknown), tables with their columns
)";

constexpr std::string_view kMigrate =
    R"(  migrate CURRENT DESIRED [-o FILE] [--allow-drop] [--dialect postgresql|mysql|sqlserver]
          [--include GLOB] [--exclude GLOB]
      Writes the SQL that, run on CURRENT, makes its structure like DESIRED's: tables,
      columns and their properties, constraints, indexes, views, routines, triggers,
      sequences and types, in an order the server can run (what depends on a changed
      object is dropped first and made again after it; foreign keys come last). Either
      side is a live database or a snapshot that holds definitions (written by
      tablor-cli snapshot); an older snapshot of names only is refused.
      PostgreSQL and SQL Server scripts run in one transaction; MySQL commits each DDL
      statement at once, which the script's header says.
      -o FILE         writes the script to FILE (default: standard output)
      --allow-drop    also writes the statements that lose data: dropping a table, a
                      column or a sequence, a type that may not hold every value. Without
                      it each is a comment in the script that says what was held back
      --dialect D     the SQL to write; default: the engine of the sides (a snapshot
                      records the engine it was read from)
      --include GLOB, --exclude GLOB
                      touch only the objects whose names match, or leave those out, as
                      compare does
      Status: 0 nothing to do, 1 a script was written, 3 a script was written but
      changes were held back (it is incomplete), 2 trouble.
      SQL Server scripts are checked by tests statement by statement; no SQL Server has
      run them yet.
)";

constexpr std::string_view kLive = R"(Live databases:
  sqlserver://[USER@]HOST[:PORT][/INSTANCE]?database=NAME[&integrated=true]
                                                [&queryTimeout=SECONDS]
      SQL Server, through the FreeTDS ODBC driver (port 1433 unless given; an instance
      name is looked up through the server's browser service). integrated=true logs in
      with the Kerberos ticket of the current user instead of a user and password.
  postgresql://[USER@][HOST][:PORT]/DATABASE[?queryTimeout=SECONDS]
      PostgreSQL, through the psqlODBC driver (the user schemas only; objects that an
      extension installed are left out). Without a host (postgresql:///shop) the server
      is reached through its local socket, in PGHOST's folder or the default one.
  mysql://USER@HOST[:PORT]/DATABASE[?queryTimeout=SECONDS]   (or mariadb://...)
      MySQL or MariaDB, through the MariaDB ODBC driver, over TCP (port 3306 unless
      given). The database is the schema, so schema= and qualify= do not apply.
      Constraints are named TABLE.NAME (orders.PRIMARY), since the server names them
      per table and calls every primary key PRIMARY.
  queryTimeout=SECONDS  how long one catalogue query, with the reading of its rows, may
      take (default 300, at most 86400); after it the server is taken to have stopped
      answering and the command ends with status 2 without writing anything.
  loginTimeout=SECONDS  how long opening the connection, login included, may take
      (default 15, at most 86400).
  encrypt=off|request|require|strict  (SQL Server) whether the connection is encrypted;
      without it the driver decides (FreeTDS: encrypted when the server offers it).
      FreeTDS 1.3 cannot do strict: use require, or Microsoft's driver.
  trustServerCertificate=true|false  (SQL Server) takes the server's certificate without
      checking it. FreeTDS checks a certificate only when freetds.conf names a CA file
      ("ca file"), so it refuses false; Microsoft's driver takes both.
  schema=NAME  reads only that schema (exact name, repeat for more: &schema=a&schema=b).
  qualify=true  names tables, views, routines and constraints SCHEMA.NAME.
  A live side is named SERVER.DATABASE in the output. Names may be percent-encoded
  ("%40" for "@").

  The password is never part of the address. For each side the first of these that
  gives one is taken:
    1. TABLOR_PASSWORD_1 for the first side, TABLOR_PASSWORD_2 for the second
    2. TABLOR_PASSWORD, for either side
    3. PostgreSQL: PGPASSWORD, then the line of the password file (PGPASSFILE, else
       ~/.pgpass) that matches the host, port, database and user, as psql reads it
       (a file that its group or others may use is ignored);
       MySQL and MariaDB: the password of the [client], [client-server] or
       [client-mariadb] group of ~/.my.cnf, as the mysql client reads it (a file
       that others may write is ignored)
    4. asked for without echo, when standard input is a terminal.
  TABLOR_ODBC_DRIVER names another ODBC driver for SQL Server (for example
  "ODBC Driver 18 for SQL Server"), TABLOR_ODBC_PG_DRIVER another one for PostgreSQL,
  TABLOR_ODBC_MYSQL_DRIVER another one for MySQL.
  The server sees the session as the program "Tablor". A query that returns more than
  10000000 rows is taken as a server gone wrong: reading stops with status 2. On a
  terminal, standard error shows the rows read while a database is read.
)";

constexpr std::string_view kHelpAndVersion =
    R"(  --help, -h     shows this text (COMMAND --help: that command's)
  --version, -V  shows the version
)";

constexpr std::string_view kExitStatus =
    R"(Exit status: 0 no differences (snapshot: written), 1 differences found, 2 trouble
(the message is on standard error); migrate: 0 nothing to do, 1 script written, 3 script
written with changes held back.
)";

constexpr std::string_view kExamples = R"(Examples:
  tablor-cli compare examples/shop-v1.snp examples/shop-v2.snp --html report.html
  tablor-cli compare v1.snp v2.snp --column-changes --exclude 'tmp_*' --exclude '*.updated_at'
  tablor-cli compare v1.snp v2.snp --options ci/tablor.toml --only tables,columns,changes
  tablor-cli compare main.snp branch.snp --format markdown > comment.md
  tablor-cli compare main.snp branch.snp --format junit > tablor-junit.xml
  TABLOR_PASSWORD_1=... TABLOR_PASSWORD_2=... tablor-cli compare \
      "sqlserver://sa@dbhost?database=Sales" "sqlserver://sa@dbhost:14330?database=Sales"
  tablor-cli snapshot "sqlserver://sa@dbhost/SQLEXPRESS?database=Sales" -o sales.snp
  tablor-cli compare postgresql://app@pghost/shop sales.snp
  tablor-cli snapshot postgresql:///shop -o - | gzip > shop.snp.gz
  zcat shop.snp.gz | tablor-cli compare - postgresql://app@pghost/shop
  tablor-cli snapshot "postgresql://app@pghost/shop?schema=sales&qualify=true" -o sales.snp
  tablor-cli show "sqlserver://sa@dbhost?database=Sales&encrypt=require&loginTimeout=30"
  tablor-cli compare mysql://app@dbhost/shop mysql://app@dbhost:3307/shop
  tablor-cli migrate postgresql://app@pghost/shop release.snp -o upgrade.sql
)";

std::string Joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) text.append(part);
    return text;
}

}  // namespace

std::string UsageText() {
    return Joined({"Usage: tablor-cli COMMAND [OPTIONS]\n\n", kIntro, "\nCommands:\n", kCompare, "\n",
                   kSnapshot, "\n", kShow, "\n", kMigrate, "\n", kHelpAndVersion, "\n", kLive, "\n",
                   kExitStatus, "\n", kExamples});
}

std::string CommandHelp(std::string_view command) {
    if (command == "compare")
        return Joined({"Usage: tablor-cli compare SIDE1 SIDE2 [OPTIONS]\n\n", kCompare, "\n", kLive, "\n",
                       kExitStatus});
    if (command == "snapshot")
        return Joined({"Usage: tablor-cli snapshot DATABASE -o FILE.snp\n\n", kSnapshot, "\n", kLive, "\n",
                       kExitStatus});
    if (command == "show")
        return Joined({"Usage: tablor-cli show SOURCE [--definitions] [--format text|json]\n\n", kShow, "\n",
                       kLive, "\n", kExitStatus});
    if (command == "migrate")
        return Joined({"Usage: tablor-cli migrate CURRENT DESIRED [OPTIONS]\n\n", kMigrate, "\n", kLive, "\n",
                       kExitStatus});
    return {};
}

}  // namespace tablor::cli
