// Times a live source's whole Fill (connect, five queries, model) on a PostgreSQL database of
// 2,000 tables of 10 columns, against psql running the same five queries over the same kind
// of connection. Prints the median and best of each and their ratio.
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
#include <string>
#include <vector>

#include "sources/SchemaQueries.hpp"
#include "sources/cConnection.hpp"
#include "sources/odbc/OdbcConnector.hpp"
#include "support/UserPrompt.hpp"

namespace {

using Clock = std::chrono::steady_clock;

class QuietPrompt : public tablor::UserPrompt {
  public:
    tablor::PromptAnswer Ask(const tablor::PromptMessage& message) override {
        std::cerr << message.title << ": " << message.text << "\n";
        return tablor::PromptAnswer::Ok;
    }
    std::optional<std::string> Input(std::string_view, std::string_view, std::string_view) override {
        return {};
    }
    void Progress(std::string_view, long) override { ++rows; }
    long rows = 0;
};

int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct Server {
    std::string stateFile;
    std::map<std::string, std::string> values;

    Server() {
        char folder[] = "/tmp/tablor-bench-XXXXXX";
        if (::mkdtemp(folder) == nullptr) throw std::runtime_error("no temporary folder");
        stateFile = std::string(folder) + "/pg.env";
        if (Run("bash " + Quoted(TABLOR_PG_FIXTURE) + " start " + Quoted(stateFile)) != 0)
            throw std::runtime_error("PostgreSQL did not start");
        std::ifstream in(stateFile);
        for (std::string line; std::getline(in, line);) {
            const auto equals = line.find('=');
            if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    ~Server() {
        Run("bash " + Quoted(TABLOR_PG_FIXTURE) + " stop " + Quoted(stateFile));
        std::error_code ignored;
        std::filesystem::remove_all(stateFile.substr(0, stateFile.rfind('/')), ignored);
    }
    std::string Psql(const std::string& database) const {
        return "PGPASSWORD=" + Quoted(values.at("TABLOR_PG_PASSWORD")) +
               " /usr/lib/postgresql/15/bin/psql -X -q -A -t -h " + values.at("TABLOR_PG_HOST") + " -p " +
               values.at("TABLOR_PG_PORT") + " -U " + values.at("TABLOR_PG_USER") + " -d " + database;
    }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    try {
        Server server;
        const std::string scratch = server.stateFile.substr(0, server.stateFile.rfind('/'));

        std::cout << "Creating 2,000 tables of 10 columns...\n";
        {
            std::ofstream sql(scratch + "/create.sql");
            sql << "CREATE DATABASE tablor_bench;\n\\connect tablor_bench\n"
                   "DO $$ BEGIN FOR i IN 1..2000 LOOP EXECUTE format('CREATE TABLE bench_table_%s ("
                   "id integer PRIMARY KEY, name varchar(50), notes text, code char(10), amount "
                   "numeric(10,2), "
                   "created date, description varchar(200), quantity integer, active boolean, tag "
                   "varchar(20))', i);"
                   " END LOOP; END $$;\n";
        }
        if (Run(server.Psql("postgres") + " -f " + Quoted(scratch + "/create.sql") + " >/dev/null") != 0)
            throw std::runtime_error("the database was not created");

        const tablor::SchemaQueries queries = tablor::SchemaQueries::For(tablor::DatabaseEngine::PostgreSql);
        {
            std::ofstream sql(scratch + "/queries.sql");
            for (const std::string* query :
                 {&queries.tables, &queries.constraints, &queries.views, &queries.routines, &queries.columns})
                sql << *query << ";\n";
        }
        const std::string psql =
            server.Psql("tablor_bench") + " -f " + Quoted(scratch + "/queries.sql") + " >/dev/null";

        auto connector = std::make_shared<tablor::OdbcConnector>();
        std::vector<double> fill, viaPsql;
        long tables = 0, columns = 0, rows = 0;
        for (int run = 0; run <= runs; ++run) {  // run 0 warms the caches up and is not counted
            tablor::cConnection connection(connector, tablor::DatabaseEngine::PostgreSql);
            connection.ServerName =
                server.values.at("TABLOR_PG_HOST") + ":" + server.values.at("TABLOR_PG_PORT");
            connection.DatabaseName = "tablor_bench";
            connection.UserName = server.values.at("TABLOR_PG_USER");
            connection.Password = server.values.at("TABLOR_PG_PASSWORD");
            QuietPrompt prompt;
            auto start = Clock::now();
            if (connection.Fill(prompt) != "DONE") throw std::runtime_error("Fill failed");
            const double fillMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

            start = Clock::now();
            if (Run(psql) != 0) throw std::runtime_error("psql failed");
            const double psqlMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (run == 0) {
                tables = connection.MetaData()->Tables().Count();
                for (const auto& table : connection.MetaData()->Tables()) columns += table->Fields().Count();
                rows = prompt.rows;
                continue;
            }
            fill.push_back(fillMs);
            viaPsql.push_back(psqlMs);
        }
        std::printf("model: %ld tables, %ld columns, %ld rows read\n", tables, columns, rows);
        std::printf("runs: %d\n", runs);
        std::printf("Fill (ODBC, whole extraction): median %.1f ms, best %.1f ms\n", Median(fill),
                    *std::min_element(fill.begin(), fill.end()));
        std::printf("psql (same five queries):      median %.1f ms, best %.1f ms\n", Median(viaPsql),
                    *std::min_element(viaPsql.begin(), viaPsql.end()));
        std::printf(
            "ratio Fill / psql: %.2f (median), %.2f (best)\n", Median(fill) / Median(viaPsql),
            *std::min_element(fill.begin(), fill.end()) / *std::min_element(viaPsql.begin(), viaPsql.end()));
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "bench_live_extraction: " << error.what() << "\n";
        return 1;
    }
}
