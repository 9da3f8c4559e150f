-- The databases the MySQL tests read. Run by mariadb_fixture.sh as the server's root.

-- Logins over TCP. The reader's password holds every character connection strings treat
-- specially; the other's name and password need quoting too.
CREATE USER 'tablor_admin'@'127.0.0.1' IDENTIFIED BY 'tablor-admin-pw';
GRANT ALL ON *.* TO 'tablor_admin'@'127.0.0.1';
CREATE USER 'tablor_reader'@'127.0.0.1' IDENTIFIED BY 'a}b;c{d=e f';
GRANT SELECT, SHOW VIEW ON *.* TO 'tablor_reader'@'127.0.0.1';
CREATE USER 'tablor user;{x}=1'@'127.0.0.1' IDENTIFIED BY 'p w;{}}=';
GRANT SELECT ON *.* TO 'tablor user;{x}=1'@'127.0.0.1';
-- A login that may read tables but not the definitions of views (no SHOW VIEW).
CREATE USER 'tablor_noview'@'127.0.0.1' IDENTIFIED BY 'noview';
GRANT SELECT ON *.* TO 'tablor_noview'@'127.0.0.1';

CREATE DATABASE tablor_shop CHARACTER SET utf8mb4;
CREATE DATABASE tablor_shop_v2 CHARACTER SET utf8mb4;
CREATE DATABASE `tablor db;{x}=1` CHARACTER SET utf8mb4;

USE tablor_shop;

CREATE TABLE customers (
    customer_id INT PRIMARY KEY,
    name VARCHAR(100) NOT NULL,
    email VARCHAR(200),
    CONSTRAINT uq_email UNIQUE (email)
);
CREATE TABLE orders (
    order_id INT PRIMARY KEY,
    customer_id INT,
    amount DECIMAL(10, 2),
    remark TEXT,
    CONSTRAINT fk_orders_customers FOREIGN KEY (customer_id) REFERENCES customers (customer_id),
    CONSTRAINT chk_amount CHECK (amount >= 0)
);
-- Loses its primary key in v2.
CREATE TABLE audit (audit_id INT PRIMARY KEY, note VARCHAR(50));
-- Quotes in names.
CREATE TABLE `O'Brien` (id INT, `given name` VARCHAR(30));
CREATE TABLE `back``tick` (id INT, CONSTRAINT uq_email UNIQUE (id));
-- Names in several scripts.
CREATE TABLE `Café` (`Ωmega` VARCHAR(10), `表名` INT, `Имя` CHAR(3));

CREATE VIEW open_orders AS SELECT order_id, amount FROM orders WHERE amount > 0;
CREATE PROCEDURE archive_orders() DELETE FROM orders WHERE amount = 0;
CREATE FUNCTION order_total(p_customer INT) RETURNS DECIMAL(12, 2) READS SQL DATA
    RETURN (SELECT SUM(amount) FROM orders WHERE customer_id = p_customer);

USE tablor_shop_v2;

CREATE TABLE customers (
    customer_id INT PRIMARY KEY,
    name VARCHAR(120) NOT NULL,
    email VARCHAR(200),
    created DATE,
    CONSTRAINT uq_email UNIQUE (email)
);
CREATE TABLE orders (
    order_id INT PRIMARY KEY,
    customer_id INT,
    amount DECIMAL(10, 2),
    remark TEXT,
    CONSTRAINT fk_orders_customers FOREIGN KEY (customer_id) REFERENCES customers (customer_id)
);
CREATE TABLE audit (audit_id INT, note VARCHAR(50));
CREATE TABLE `O'Brien` (id INT, `given name` VARCHAR(30));
CREATE TABLE `back``tick` (id INT);
CREATE TABLE `Café` (`Ωmega` VARCHAR(10), `表名` INT, `Имя` CHAR(3));
CREATE TABLE invoices (invoice_id INT PRIMARY KEY);

CREATE VIEW open_orders AS SELECT order_id, amount FROM orders WHERE amount > 0;
CREATE FUNCTION order_total(p_customer INT) RETURNS DECIMAL(12, 2) READS SQL DATA
    RETURN (SELECT SUM(amount) FROM orders WHERE customer_id = p_customer);
CREATE PROCEDURE close_invoices() DELETE FROM invoices;

USE `tablor db;{x}=1`;
CREATE TABLE t (id INT);
