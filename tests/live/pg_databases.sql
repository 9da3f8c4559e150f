-- The databases the live-source tests read. Run by pg_fixture.sh as the cluster's owner.

-- A reader whose password holds every character that connection strings treat specially.
CREATE ROLE tablor_reader LOGIN PASSWORD 'a}b;c{d=e f';
GRANT pg_read_all_data TO tablor_reader;
-- A login whose name and password need quoting too.
CREATE ROLE "tablor user;{x}=1" LOGIN PASSWORD 'p w;{}}=' IN ROLE pg_read_all_data;

-- A login that holds no privilege on anything.
CREATE ROLE tablor_nobody LOGIN PASSWORD 'nobody';

CREATE DATABASE tablor_shop;
CREATE DATABASE tablor_rights;
CREATE DATABASE tablor_shop_v2;
CREATE DATABASE tablor_plain;
CREATE DATABASE "tablor db;{x}=1";

\connect tablor_shop

CREATE TABLE customers (
    customer_id integer PRIMARY KEY,
    name varchar(100) NOT NULL,
    code char(5),
    notes text,
    photo bytea,
    created date
);
CREATE TABLE orders (
    order_id integer CONSTRAINT pk_orders PRIMARY KEY,
    customer_id integer CONSTRAINT fk_orders_customers REFERENCES customers (customer_id),
    amount numeric(10, 2) CONSTRAINT chk_orders_amount CHECK (amount >= 0),
    remark varchar
);
-- An apostrophe in a table name.
CREATE TABLE "O'Brien" (id integer, "given name" varchar(30));
-- Same-named tables in two schemas, sharing a column name.
CREATE SCHEMA sales;
CREATE TABLE public.items (id integer, label varchar(40));
CREATE TABLE sales.items (id integer, sku varchar(20), price numeric);
-- Names in several scripts.
CREATE TABLE "Café" ("Ωmega" varchar(10), "表名" integer, "Имя" char(3));

CREATE VIEW open_orders AS SELECT order_id, amount FROM orders WHERE amount > 0;
CREATE VIEW sys_orders AS SELECT order_id FROM orders;
CREATE VIEW "SysStats" AS SELECT count(*) AS n FROM orders;

CREATE FUNCTION order_total(p_customer integer) RETURNS numeric
    LANGUAGE sql AS 'SELECT sum(amount) FROM orders WHERE customer_id = p_customer';
CREATE PROCEDURE archive_orders() LANGUAGE sql AS 'DELETE FROM orders WHERE amount = 0';
CREATE FUNCTION dt_helper() RETURNS integer LANGUAGE sql AS 'SELECT 1';
CREATE FUNCTION "DT_Upper"() RETURNS integer LANGUAGE sql AS 'SELECT 2';
-- Aggregates have no routine type and are left out.
CREATE AGGREGATE total_of (numeric) (SFUNC = numeric_add, STYPE = numeric);

\connect tablor_shop_v2

CREATE TABLE customers (
    customer_id integer PRIMARY KEY,
    name varchar(120) NOT NULL,
    email varchar(200),
    created date
);
CREATE TABLE invoices (invoice_id integer PRIMARY KEY, customer_id integer);
CREATE VIEW open_orders AS SELECT invoice_id AS order_id FROM invoices;
CREATE FUNCTION order_total(p_customer integer) RETURNS numeric LANGUAGE sql AS 'SELECT 0::numeric';

-- A materialized view, which INFORMATION_SCHEMA does not list.
\connect tablor_rights

CREATE TABLE ledger (id integer);
CREATE MATERIALIZED VIEW ledger_summary AS SELECT count(*) AS n FROM ledger;

-- No views, routines or constraints.
\connect tablor_plain

CREATE TABLE plain (id integer, label varchar(10));

\connect -reuse-previous=on "dbname='tablor db;{x}=1'"

CREATE TABLE "odd;{name}=1" (id integer);
-- A user schema whose name merely starts with "pg".
CREATE SCHEMA pgapp;
CREATE TABLE pgapp.ledger (id integer);

-- Extensions bring functions, types, a view and (once added to one) a table of their own: none of
-- them is the user's. The user's own objects stand beside them.
\connect postgres
CREATE DATABASE tablor_extended;
\connect tablor_extended

CREATE EXTENSION citext;
CREATE EXTENSION hstore;
CREATE EXTENSION pg_trgm;
CREATE EXTENSION pg_buffercache;
CREATE TABLE hstore_cache (id integer CONSTRAINT pk_hstore_cache PRIMARY KEY, value hstore);
ALTER EXTENSION hstore ADD TABLE hstore_cache;

CREATE TABLE plain (id integer, label varchar(10));
CREATE TABLE members (id integer CONSTRAINT pk_members PRIMARY KEY, email citext, tags hstore);
CREATE VIEW member_emails AS SELECT email FROM members;
CREATE FUNCTION member_count() RETURNS bigint LANGUAGE sql AS 'SELECT count(*) FROM members';
