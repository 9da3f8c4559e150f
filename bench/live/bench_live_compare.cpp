// Times the whole `tablor-cli compare` of two live databases of 2,000 tables x 10 columns, 200
// views and 200 functions (one table in twenty lacks a column on the second side), against the
// engine's own client running the same five queries on both databases one after the other.
// PostgreSQL against psql, MariaDB against the mariadb client; an engine whose server cannot
// start is skipped. Prints the median and best of each and their ratio, and the same compare with
// --definitions against the one of names alone.
//   ./bench_live_compare [runs]     (default 7, after one warm-up run that is not counted)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "sources/SchemaQueries.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTables = 2000;
constexpr int kViews = 200;
constexpr int kFunctions = 200;
// Every twentieth table of the second database lacks its last column.
constexpr int kChangedEvery = 20;

int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

double MillisecondsOf(const std::string& command, int okUpTo) {
    const auto start = Clock::now();
    const int code = Run(command);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (code < 0 || code > okUpTo)
        throw std::runtime_error("failed (exit " + std::to_string(code) + "): " + command);
    return ms;
}

// How one engine is set up, filled and queried.
struct Engine {
    std::string name;
    std::string fixture;
    std::string prefix;  // of the fixture's state variables: TABLOR_PG_ or TABLOR_MY_
    tablor::DatabaseEngine engine;
    std::string scheme;
    std::string clientName;
    std::string passwordVariable;  // the client's, so that no password is on a command line
};

// The fixture's server for one engine, stopped when this goes.
class Server {
  public:
    explicit Server(const Engine& engine) : engine_(engine) {
        char folder[] = "/tmp/tablor-bench-XXXXXX";
        if (::mkdtemp(folder) == nullptr) throw std::runtime_error("no temporary folder");
        scratch_ = folder;
        const std::string state = scratch_ + "/server.env";
        if (Run("bash " + Quoted(engine.fixture) + " start " + Quoted(state) + " >/dev/null") != 0) return;
        started_ = true;
        std::ifstream in(state);
        for (std::string line; std::getline(in, line);) {
            const auto equals = line.find('=');
            if (equals != std::string::npos) values_[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    ~Server() {
        if (started_) Run("bash " + Quoted(engine_.fixture) + " stop " + Quoted(scratch_ + "/server.env"));
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Started() const { return started_; }
    const std::string& Scratch() const { return scratch_; }
    std::string Value(const std::string& key) const { return values_.at(engine_.prefix + key); }

    // The client reading `file` against `database`, its output thrown away.
    std::string Client(const std::string& database, const std::string& file) const {
        if (engine_.engine == tablor::DatabaseEngine::PostgreSql)
            return "/usr/lib/postgresql/15/bin/psql -X -q -A -t -v ON_ERROR_STOP=1 -h " + Value("HOST") +
                   " -p " + Value("PORT") + " -U " + Value("USER") + " -d " + database + " -f " +
                   Quoted(file) + " >/dev/null";
        return "mariadb --no-defaults --batch --skip-column-names -h " + Value("HOST") + " -P " +
               Value("PORT") + " -u " + Value("USER") + (database.empty() ? "" : " " + database) + " < " +
               Quoted(file) + " >/dev/null";
    }
    std::string Address(const std::string& database) const {
        return engine_.scheme + "://" + Value("USER") + "@" + Value("HOST") + ":" + Value("PORT") + "/" +
               database;
    }

  private:
    const Engine& engine_;
    std::string scratch_;
    bool started_ = false;
    std::map<std::string, std::string> values_;
};

// Both databases: the same 2,000 tables, views and functions, but on the second every
// twentieth table lacks its last column.
void WriteCreation(const Engine& engine, const std::string& path) {
    const bool pg = engine.engine == tablor::DatabaseEngine::PostgreSql;
    std::ofstream sql(path);
    for (const char* database : {"bench_a", "bench_b"}) {
        const bool second = std::string(database) == "bench_b";
        sql << "CREATE DATABASE " << database << ";\n"
            << (pg ? "\\connect " : "USE ") << database << (pg ? "\n" : ";\n");
        for (int i = 1; i <= kTables; ++i) {
            sql << "CREATE TABLE bench_table_" << i
                << " (id integer PRIMARY KEY, name varchar(50), notes text, code char(10), amount "
                   "numeric(10,2), "
                   "created date, description varchar(200), quantity integer, active boolean";
            if (!(second && i % kChangedEvery == 0)) sql << ", tag varchar(20)";
            sql << ");\n";
        }
        for (int i = 1; i <= kViews; ++i)
            sql << "CREATE VIEW bench_view_" << i << " AS SELECT id, name, amount FROM bench_table_" << i
                << " WHERE amount > " << i << ";\n";
        for (int i = 1; i <= kFunctions; ++i) {
            if (pg)
                sql << "CREATE FUNCTION bench_function_" << i
                    << "(x integer) RETURNS integer LANGUAGE sql AS "
                    << "'SELECT x + " << i << "';\n";
            else
                sql << "CREATE FUNCTION bench_function_" << i
                    << "(x INT) RETURNS INT DETERMINISTIC RETURN x + " << i << ";\n";
        }
    }
}

void WriteQueries(const Engine& engine, const std::string& path) {
    const tablor::SchemaQueries queries = tablor::SchemaQueries::For(engine.engine);
    std::ofstream sql(path);
    for (const std::string* query :
         {&queries.tables, &queries.constraints, &queries.views, &queries.routines, &queries.columns})
        sql << *query << ";\n";
}

void Measure(const Engine& engine, int runs) {
    std::cout << "== " << engine.name << "\n" << std::flush;
    const Server server(engine);
    if (!server.Started()) {
        std::cout << engine.name << " skipped: its server did not start\n";
        return;
    }
    const std::string password = server.Value("PASSWORD");
    ::setenv(engine.passwordVariable.c_str(), password.c_str(), 1);
    ::setenv("TABLOR_PASSWORD", password.c_str(), 1);

    std::cout << "Creating two databases of " << kTables << " tables x 10 columns, " << kViews << " views, "
              << kFunctions << " functions...\n"
              << std::flush;
    const std::string creation = server.Scratch() + "/create.sql";
    WriteCreation(engine, creation);
    const bool pg = engine.engine == tablor::DatabaseEngine::PostgreSql;
    MillisecondsOf(server.Client(pg ? "postgres" : "", creation), 0);

    const std::string queries = server.Scratch() + "/queries.sql";
    WriteQueries(engine, queries);
    const std::string baseline =
        server.Client("bench_a", queries) + " && " + server.Client("bench_b", queries);
    // Exit 1 tells of differences.
    const std::string compare = Quoted(TABLOR_CLI_PATH) + " compare " + Quoted(server.Address("bench_a")) +
                                " " + Quoted(server.Address("bench_b")) + " >/dev/null";
    // The same with definitions read and compared: what they cost over names alone.
    const std::string definitions = Quoted(TABLOR_CLI_PATH) + " compare --definitions " +
                                    Quoted(server.Address("bench_a")) + " " +
                                    Quoted(server.Address("bench_b")) + " >/dev/null";
    std::vector<double> viaCli, viaClient, withDefinitions;
    for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches up and is not counted
        const double cliMs = MillisecondsOf(compare, 1);
        const double clientMs = MillisecondsOf(baseline, 0);
        const double definitionsMs = MillisecondsOf(definitions, 1);
        if (run == 0) continue;
        viaCli.push_back(cliMs);
        viaClient.push_back(clientMs);
        withDefinitions.push_back(definitionsMs);
    }
    ::unsetenv("TABLOR_PASSWORD");
    ::unsetenv(engine.passwordVariable.c_str());

    // Other work on the machine skews the parallel reads most: show how busy it was.
    std::ifstream load("/proc/loadavg");
    std::string oneMinute;
    load >> oneMinute;
    std::printf("runs: %d (load average %s)\n", runs, oneMinute.empty() ? "unknown" : oneMinute.c_str());
    std::printf("tablor-cli compare (both sides):      median %.1f ms, best %.1f ms\n", Median(viaCli),
                Best(viaCli));
    std::printf("%-6s x2, one after the other:        median %.1f ms, best %.1f ms\n",
                engine.clientName.c_str(), Median(viaClient), Best(viaClient));
    std::printf("ratio compare / %s: %.2f (median), %.2f (best)\n", engine.clientName.c_str(),
                Median(viaCli) / Median(viaClient), Best(viaCli) / Best(viaClient));
    std::printf("compare --definitions:                median %.1f ms, best %.1f ms\n",
                Median(withDefinitions), Best(withDefinitions));
    std::printf("ratio --definitions / names only: %.2f (median), %.2f (best)\n",
                Median(withDefinitions) / Median(viaCli), Best(withDefinitions) / Best(viaCli));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::vector<Engine> engines = {
        {"PostgreSQL", TABLOR_PG_FIXTURE, "TABLOR_PG_", tablor::DatabaseEngine::PostgreSql, "postgresql",
         "psql", "PGPASSWORD"},
        {"MariaDB", TABLOR_MY_FIXTURE, "TABLOR_MY_", tablor::DatabaseEngine::MySql, "mysql", "mariadb",
         "MYSQL_PWD"},
    };
    int failures = 0;
    for (const Engine& engine : engines) {
        try {
            Measure(engine, runs);
        } catch (const std::exception& error) {
            std::cerr << "bench_live_compare: " << engine.name << ": " << error.what() << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
