-- The table that the sqlite3 shell's .import fills from the upload file: the
-- import's six columns, in its order.
CREATE TABLE upload (
  first_name    TEXT,
  last_name     TEXT,
  display_name  TEXT,
  company       TEXT,
  email_address TEXT,
  ifax_address  TEXT
);
