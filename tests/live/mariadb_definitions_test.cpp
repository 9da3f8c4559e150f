// Definitions from MariaDB's catalogue, end to end: `tablor-cli compare --definitions` of a
// database built for these tests and of another built the same way but for one change.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DefinitionsCli.hpp"
#include "MariaDbServer.hpp"
#include "RandomSchemaPair.hpp"
#include "TempFolder.hpp"

namespace tablor::testing {
namespace {

constexpr const char* kBase = R"sql(
CREATE TABLE customers (
    id INT PRIMARY KEY,
    code INT UNIQUE,
    name VARCHAR(40),
    price DECIMAL(10, 2),
    seen DATETIME(3),
    flags BIT(4),
    mood ENUM('sad', 'happy'),
    note VARCHAR(40) COMMENT 'Free text'
);
CREATE TABLE orders (
    id INT AUTO_INCREMENT PRIMARY KEY,
    customer_id INT,
    amount DECIMAL(10, 2) DEFAULT 0,
    CONSTRAINT fk_orders_customers FOREIGN KEY (customer_id) REFERENCES customers (id) ON DELETE CASCADE,
    CONSTRAINT chk_orders_amount CHECK (amount >= 0),
    INDEX ix_orders_amount (amount DESC)
);
CREATE VIEW big_orders AS SELECT id, amount FROM orders WHERE amount > 100;
CREATE FUNCTION order_count() RETURNS BIGINT READS SQL DATA RETURN (SELECT COUNT(*) FROM orders);
CREATE SEQUENCE tickets START WITH 100 INCREMENT BY 10;
)sql";

// The same schema in other words and another order.
constexpr const char* kRespelled = R"sql(
CREATE FUNCTION order_count() RETURNS bigint(20) READS SQL DATA RETURN (SELECT COUNT(*) FROM orders);
CREATE TABLE customers (
    id INTEGER NOT NULL,
    code INTEGER,
    name VARCHAR(40) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci,
    price NUMERIC(10,2),
    seen DATETIME(3),
    flags BIT(4),
    mood ENUM('sad','happy') DEFAULT NULL,
    note VARCHAR(40) NULL COMMENT 'Free text',
    PRIMARY KEY (id),
    UNIQUE KEY code (code)
);
CREATE TABLE orders (id INT NOT NULL AUTO_INCREMENT, customer_id INT, amount DECIMAL(10,2) DEFAULT '0.00',
    PRIMARY KEY (id));
ALTER TABLE orders ADD CONSTRAINT chk_orders_amount CHECK (amount >= 0),
    ADD CONSTRAINT fk_orders_customers FOREIGN KEY (customer_id) REFERENCES customers (id) ON DELETE CASCADE;
CREATE INDEX ix_orders_amount ON orders (amount DESC);
create view big_orders as select id,amount from orders where amount>100;
CREATE SEQUENCE tickets INCREMENT = 10 MINVALUE 1 START = 100 NOCYCLE;
)sql";

// One change to the base, and the one difference it makes.
struct SingleChange {
    std::string ddl;
    std::string message;
};

const SingleChange kSingleChanges[] = {
    {"ALTER TABLE customers MODIFY name VARCHAR(40) NOT NULL",
     "name: Field customers.name changed: nullable: YES \u2192 NO"},
    {"ALTER TABLE orders ALTER amount SET DEFAULT 1",
     "amount: Field orders.amount changed: default: 0.00 \u2192 1.00"},
    {"ALTER TABLE customers MODIFY name VARCHAR(40) COLLATE utf8mb4_bin",
     "name: Field customers.name changed: collation: (none) \u2192 utf8mb4_bin"},
    {"ALTER TABLE orders DROP FOREIGN KEY fk_orders_customers; ALTER TABLE orders ADD CONSTRAINT "
     "fk_orders_customers FOREIGN KEY (customer_id) REFERENCES customers (id) ON DELETE RESTRICT",
     "orders.fk_orders_customers: Constraint orders.fk_orders_customers changed: definition: "
     "\u2026mers (id) ON DELETE CASCADE ON UPDATE RESTRICT \u2192 \u2026mers (id) ON DELETE RESTRICT "
     "ON UPDATE RESTRICT"},
    {"ALTER TABLE orders DROP FOREIGN KEY fk_orders_customers; ALTER TABLE orders ADD CONSTRAINT "
     "fk_orders_customers FOREIGN KEY (customer_id) REFERENCES customers (code) ON DELETE CASCADE",
     "orders.fk_orders_customers: Constraint orders.fk_orders_customers changed: definition: "
     "\u2026FERENCES customers (id) ON DELETE CASCADE \u2026 \u2192 \u2026FERENCES customers (code) ON "
     "DELETE CASCADE \u2026"},
    {"ALTER TABLE orders DROP CONSTRAINT chk_orders_amount, ADD CONSTRAINT chk_orders_amount CHECK "
     "(amount > 0)",
     "orders.chk_orders_amount: Constraint orders.chk_orders_amount changed: definition: CHECK "
     "(`amount` >= 0) \u2192 CHECK (`amount` > 0)"},
    {"DROP INDEX ix_orders_amount ON orders", "orders.ix_orders_amount: Index was not found on second"},
    {"CREATE UNIQUE INDEX ux_customers_name ON customers (name)",
     "customers.ux_customers_name: Constraint was not found on first"},
    {"ALTER VIEW big_orders AS SELECT id, amount FROM orders WHERE amount > 200",
     "big_orders: View big_orders changed: definition: \u2026`orders`.`amount` > 100 \u2192 "
     "\u2026`orders`.`amount` > 200"},
    {"DROP FUNCTION order_count; CREATE FUNCTION order_count() RETURNS BIGINT READS SQL DATA RETURN "
     "(SELECT COUNT(id) FROM orders)",
     "order_count: Function order_count changed: definition: RETURN (SELECT COUNT(*) FROM orders) "
     "\u2192 RETURN (SELECT COUNT(id) FROM orders)"},
    {"CREATE TRIGGER orders_touch BEFORE INSERT ON orders FOR EACH ROW SET NEW.amount = NEW.amount",
     "orders.orders_touch: Trigger was not found on first"},
    {"ALTER TABLE customers MODIFY note VARCHAR(40) COMMENT 'Notes'",
     "note: Field customers.note changed: comment: Free text \u2192 Notes"},
    {"ALTER TABLE orders COMMENT 'Orders'", "orders: Table orders changed: comment: (none) \u2192 Orders"},
    {"ALTER TABLE customers MODIFY mood ENUM('sad', 'happy', 'calm')",
     "mood: Field customers.mood changed: type: enum('sad','happy') \u2192 enum('sad','happy','calm')"},
    {"ALTER TABLE customers MODIFY price DECIMAL(12, 4)",
     "price: Field customers.price changed: type: decimal(10,2) \u2192 decimal(12,4)"},
    {"ALTER TABLE customers MODIFY seen DATETIME(6)",
     "seen: Field customers.seen changed: type: datetime(3) \u2192 datetime(6)"},
    {"ALTER TABLE customers MODIFY flags BIT(8)",
     "flags: Field customers.flags changed: type: bit(4) \u2192 bit(8)"},
    {"ALTER SEQUENCE tickets INCREMENT BY 5", "tickets: Sequence tickets changed: increment: 10 \u2192 5"},
    {"CREATE SEQUENCE `we``ird s` CYCLE", "we`ird s: Sequence was not found on first"},
};

class MariaDbDefinitions : public ::testing::Test {
  protected:
    // A fresh database built by `script`.
    void Create(const std::string& database, const std::string& script) {
        const std::string file = folder_.Write(
            "run.sql", "DROP DATABASE IF EXISTS " + database + ";\nCREATE DATABASE " + database +
                           " CHARACTER SET utf8mb4;\nUSE " + database + ";\n" + script + ";");
        ASSERT_TRUE(Client("<" + file)) << script;
    }
    bool Client(const std::string& rest, const char* program = "mariadb") {
        const std::string command = std::string(program) + " --no-defaults -h " + server_.host + " -P " +
                                    server_.port + " -u " + server_.user + " -p'" + server_.password + "' " +
                                    rest;
        return std::system(command.c_str()) == 0;
    }
    auto Compare(const std::string& first, const std::string& second) {
        return CompareDefinitions(first, second, server_.password);
    }

    const MariaDbServer& server_ = MariaDbServer::Get();
    TempFolder folder_;
};

// Each change to the base gives the one difference it makes.
TEST_F(MariaDbDefinitions, EachChangeGivesItsOneDifference) {
    Create("tablor_defs", kBase);
    for (const SingleChange& c : kSingleChanges) {
        Create("tablor_defs_changed", std::string(kBase) + c.ddl);
        const auto [status, messages] =
            Compare(server_.Address("tablor_defs"), server_.Address("tablor_defs_changed"));
        EXPECT_EQ(status, cli::kDifferences) << c.ddl;
        EXPECT_THAT(messages, ::testing::ElementsAre(c.message)) << c.ddl;
        // The script migrate writes, applied, makes a copy of the base like the changed database,
        // and the changed one like the base again.
        for (const bool back : {false, true}) {
            if (!back) Create("tablor_defs_copy", kBase);
            const std::string current = back ? "tablor_defs_changed" : "tablor_defs_copy";
            const auto [migrated, left] = MigrateAndCompare(
                server_.Address(current), server_.Address(back ? "tablor_defs" : "tablor_defs_changed"),
                server_.password, [&](const std::string& script) {
                    ASSERT_TRUE(Client(current + " <" + folder_.Write("migrate.sql", script))) << script;
                });
            EXPECT_EQ(migrated, cli::kDifferences) << c.ddl << (back ? " back" : "");
            EXPECT_THAT(left, ::testing::IsEmpty()) << c.ddl << (back ? " back" : "");
        }
    }
}

// Many changes at once, objects that hang on each other, names that need quoting, bodies of
// several statements, and random pairs: migrate's script, applied to the first of each pair,
// leaves no difference.
TEST_F(MariaDbDefinitions, MigrationsLeaveNoDifference) {
    const std::string cycle =
        "CREATE TABLE a (id int PRIMARY KEY, b_id int); CREATE TABLE b (id int PRIMARY KEY, a_id int "
        "REFERENCES "
        "a (id)); ALTER TABLE a ADD FOREIGN KEY (b_id) REFERENCES b (id)";
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"CREATE TABLE t (id int PRIMARY KEY, a int); CREATE VIEW v AS SELECT id, a FROM t;"
         "CREATE VIEW w AS SELECT a FROM v",
         "CREATE TABLE t (id int PRIMARY KEY, a bigint); CREATE VIEW v AS SELECT id, a FROM t;"
         "CREATE VIEW w AS SELECT a FROM v"},
        {"DO 1", cycle},
        {cycle, "DO 1"},
        {"CREATE TABLE `order items` (`select` bigint)",
         "CREATE TABLE `order items` (`select` int, `gr\u00f6\u00dfe` varchar(10), `we``ird` int DEFAULT 1);"
         "CREATE VIEW `ansicht` AS SELECT `select` FROM `order items`"},
        {"CREATE TABLE log (id INT PRIMARY KEY, msg VARCHAR(20))",
         "CREATE TABLE log (id INT AUTO_INCREMENT PRIMARY KEY, msg VARCHAR(50) NOT NULL DEFAULT 'none' "
         "COMMENT "
         "'What', at TIMESTAMP DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP, len INT AS "
         "(CHAR_LENGTH(msg)) VIRTUAL);\nDELIMITER $$\nCREATE PROCEDURE add_log(IN m VARCHAR(50)) BEGIN "
         "INSERT "
         "INTO log (msg) VALUES (m); SELECT 1; END$$\nCREATE TRIGGER log_trim BEFORE INSERT ON log FOR EACH "
         "ROW "
         "BEGIN SET NEW.msg = UPPER(NEW.msg); SET NEW.msg = TRIM(NEW.msg); END$$\nDELIMITER ;\nDO 1"},
    };
    for (unsigned seed = 1; seed <= 8; ++seed) {
        const RandomSchemaPair random(seed, true);
        pairs.emplace_back(random.current, random.desired);
    }
    for (const auto& [current, desired] : pairs) {
        Create("tablor_mig_current", current);
        Create("tablor_mig_desired", desired);
        const auto [status, left] = MigrateAndCompare(
            server_.Address("tablor_mig_current"), server_.Address("tablor_mig_desired"), server_.password,
            [&](const std::string& script) {
                ASSERT_TRUE(Client("tablor_mig_current <" + folder_.Write("migrate.sql", script))) << script;
            });
        EXPECT_NE(status, cli::kTrouble) << left.front();
        EXPECT_THAT(left, ::testing::IsEmpty()) << current << "\n=>\n" << desired;
    }
}

// One schema built two ways, or taken through a snapshot or a dump, gives no difference.
TEST_F(MariaDbDefinitions, EqualSchemasGiveNone) {
    // Databases of its own: ctest may run the other test at the same time.
    Create("tablor_defs_alike", kBase);
    Create("tablor_defs_respelled", kRespelled);
    Create("tablor_defs_restored", "");
    ASSERT_TRUE(Client("--routines tablor_defs_alike >" + folder_.File("dump.sql"), "mariadb-dump"));
    ASSERT_TRUE(Client("tablor_defs_restored <" + folder_.File("dump.sql")));
    ExpectAlike(server_.Address("tablor_defs_alike"), folder_.File("defs.snp"),
                {server_.Address("tablor_defs_respelled"), server_.Address("tablor_defs_restored")},
                server_.password);
}

// A view whose definition the login may not read stops the read, naming it, instead of
// comparing as an empty text.
TEST_F(MariaDbDefinitions, AViewTheLoginMayNotReadIsTrouble) {
    Create("tablor_defs_hidden", kBase);
    const std::string address = "mysql://tablor_noview@" + server_.ServerName() + "/tablor_defs_hidden";
    const auto [status, messages] = CompareDefinitions(address, address, "noview");
    EXPECT_EQ(status, cli::kTrouble);
    EXPECT_THAT(messages,
                ::testing::ElementsAre(::testing::HasSubstr(
                    "may not read the definition of the view big_orders, and perhaps of other views")));
}

}  // namespace
}  // namespace tablor::testing
