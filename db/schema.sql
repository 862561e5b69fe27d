-- The schedule database dat/qvrDemo.db, created on first start when it is missing.
-- Times of day and durations are stored as 'HH:MM:SS', dates as 'YYYY-MM-DD', dates
-- with a time as 'YYYY-MM-DD HH:MM:SS', so ORDER BY and < compare them as times.
-- Statements are separated by lines holding only ';'.

-- Timetable entries of all named timetables (one timetable = rows sharing sjmc).
CREATE TABLE b_sjb (
  iid    INTEGER PRIMARY KEY AUTOINCREMENT,
  sjmc   VARCHAR(100),
  jmmc   VARCHAR(200),
  kssj   TEXT,
  jssj   TEXT,
  wjpath VARCHAR(255),
  bfsc   VARCHAR(50),
  yldx   REAL,
  bffs   VARCHAR(50),
  bfzt   VARCHAR(30),
  wjbz   VARCHAR(20),
  over   VARCHAR(10) DEFAULT 'N',
  ixh    SMALLINT
)
;
-- Today's resolved timetable, rebuilt every day and marked as programmes finish.
CREATE TABLE b_sjbjr (
  iid    INTEGER PRIMARY KEY AUTOINCREMENT,
  sjmc   VARCHAR(100),
  jmmc   VARCHAR(200),
  kssj   TEXT,
  jssj   TEXT,
  wjpath VARCHAR(255),
  bfsc   VARCHAR(50),
  yldx   REAL,
  bffs   VARCHAR(50),
  bfzt   VARCHAR(30),
  wjbz   VARCHAR(20),
  over   VARCHAR(10) DEFAULT 'N',
  ixh    SMALLINT
)
;
-- The song list being edited (scratch table).
CREATE TABLE b_gqlbmx (
  iid    INTEGER PRIMARY KEY AUTOINCREMENT,
  wjpath VARCHAR(255),
  wjmc   VARCHAR(200),
  lbmc   VARCHAR(200),
  zsc    TEXT
)
;
-- All saved song lists (one list = rows sharing lbmc, iid order is play order).
CREATE TABLE b_gqlbmxbak (
  iid    INTEGER PRIMARY KEY AUTOINCREMENT,
  wjpath VARCHAR(255),
  wjmc   VARCHAR(200),
  lbmc   VARCHAR(200),
  zsc    TEXT
)
;
-- Broadcast content: network sources.
CREATE TABLE b_gbb (
  iid   INTEGER PRIMARY KEY AUTOINCREMENT,
  bt    VARCHAR(255),
  strwz VARCHAR(255)
)
;
-- Holidays.
CREATE TABLE x_jrb (
  iid INTEGER PRIMARY KEY AUTOINCREMENT,
  rq  TEXT
)
;
-- The weekly assignment: exactly one row, xq1 (Monday) ... xq7 (Sunday).
CREATE TABLE x_sjbsz (
  iid INTEGER PRIMARY KEY AUTOINCREMENT,
  xq1 VARCHAR(100),
  xq2 VARCHAR(100),
  xq3 VARCHAR(100),
  xq4 VARCHAR(100),
  xq5 VARCHAR(100),
  xq6 VARCHAR(100),
  xq7 VARCHAR(100)
)
;
INSERT INTO x_sjbsz(xq1, xq2, xq3, xq4, xq5, xq6, xq7)
  VALUES('无', '无', '无', '无', '无', '无', '无')
;
;
-- The delivered schema is version 1; the data module upgrades it at start.
PRAGMA user_version = 1
