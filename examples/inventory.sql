-- Inventory schema, one script for every supported database.
-- Save All Versions writes inventory.ora, inventory.pg.sql and inventory.mssql.sql next to it.

#ifdef ORACLE
#set text = VARCHAR2
#set money = NUMBER(12,2)
#set now = SYSTIMESTAMP
#set ident = NUMBER GENERATED ALWAYS AS IDENTITY
#endif
#ifdef PGSQL
#set text = VARCHAR
#set money = NUMERIC(12,2)
#set now = CURRENT_TIMESTAMP
#set ident = INTEGER GENERATED ALWAYS AS IDENTITY
#endif
#ifdef MSSQL
#set text = NVARCHAR
#set money = DECIMAL(12,2)
#set now = SYSDATETIME()
#set ident = INT IDENTITY(1,1)
#endif

/*
 * Items and their stock. Block comments never reach the output.
 */
CREATE TABLE item (
    item_id     &ident PRIMARY KEY,
    name        &text(200) NOT NULL,   /* shown in every report */
    price       &money NOT NULL,
    created_at  TIMESTAMP DEFAULT &now
);

#ifdef WITH_AUDIT
CREATE TABLE item_audit (
    item_id     INTEGER NOT NULL,
    changed_at  TIMESTAMP DEFAULT &now,
    note        &text(400)
);
#endif

#ifndef MSSQL
-- Sequences for the databases that keep them apart from identity columns.
CREATE SEQUENCE order_seq START WITH 1000;
#else
-- SQL Server numbers orders with a sequence object too, but caches fewer values.
CREATE SEQUENCE order_seq START WITH 1000 CACHE 10;
#endif

-- A doubled ampersand stands for one: the query below looks for 'Smith & Sons'.
SELECT name, price FROM item WHERE name = 'Smith && Sons';
