-- System database (sysdat.db): staff and cards, work groups, time tables, automatic IN/OUT
-- windows, readers, anti-passback state, e-mail queue and the administrator password. The
-- build turns this file into the template sysdat-b.db, with the eight reader rows and the
-- default work group.
-- Date-times are text "YYYY-MM-DD HH:MM:SS", times of day "HH:MM:SS", booleans 0/1.

PRAGMA application_id = 1413698393; -- "TCSY": only system files carry it
PRAGMA user_version = 1;            -- schema version

BEGIN;

-- One row per registered card.
CREATE TABLE staffs (
    SEQ       INTEGER PRIMARY KEY AUTOINCREMENT,
    CARDNO    INTEGER NOT NULL DEFAULT 0,
    NAME      NVARCHAR(16),          -- holder's name, at most 16 characters
    WORKGRP   SMALLINT NOT NULL DEFAULT 1, -- gid.ID of the work group
    TIMEGRP   SMALLINT NOT NULL DEFAULT 0,
    ACCESSGRP SMALLINT NOT NULL DEFAULT 0,
    PHOTO     BLOB,                  -- JPEG, 240 x 320
    OFFLINE   BOOLEAN NOT NULL DEFAULT 0, -- uploaded to the readers' offline access table
    COM1      BOOLEAN NOT NULL DEFAULT 0, -- may pass the reader on port 1
    COM2      BOOLEAN NOT NULL DEFAULT 0,
    COM3      BOOLEAN NOT NULL DEFAULT 0,
    COM4      BOOLEAN NOT NULL DEFAULT 0,
    COM5      BOOLEAN NOT NULL DEFAULT 0,
    COM6      BOOLEAN NOT NULL DEFAULT 0,
    COM7      BOOLEAN NOT NULL DEFAULT 0,
    COM8      BOOLEAN NOT NULL DEFAULT 0,
    MEMO      TEXT,                  -- free remark lines
    PICKED    BOOLEAN NOT NULL DEFAULT 0  -- chosen in the pick list for reports
);
-- Swipes look the holder up by card; the staff list and name searches go by name.
CREATE INDEX staffs_cardno ON staffs (CARDNO);
CREATE INDEX staffs_name ON staffs (NAME);

-- Work groups; ID 1 is the default group.
CREATE TABLE gid (
    ID           INTEGER PRIMARY KEY AUTOINCREMENT,
    DESCX        NVARCHAR(50),       -- group name
    WD_FROM_1    TIME,               -- weekday sessions
    WD_TO_1      TIME,
    WD_FROM_2    TIME,
    WD_TO_2      TIME,
    SAT_ENABLE_1 BOOLEAN NOT NULL DEFAULT 0, -- Saturday sessions in use
    SAT_ENABLE_2 BOOLEAN NOT NULL DEFAULT 0,
    SAT_FROM_1   TIME,
    SAT_TO_1     TIME,
    SAT_FROM_2   TIME,
    SAT_TO_2     TIME,
    OT_MIN       INTEGER NOT NULL DEFAULT 0, -- overtime counts from this many minutes
    OT_MULTI     INTEGER NOT NULL DEFAULT 1  -- overtime is counted in steps of this many minutes
);

-- Attendance time table per work group.
CREATE TABLE timetbl (
    gid     INTEGER NOT NULL DEFAULT 1,
    timein  TIME,
    timeout TIME
);
CREATE INDEX timetbl_gid ON timetbl (gid, timein);

-- Automatic IN/OUT windows: inside one means IN, outside all of them OUT.
CREATE TABLE iotime (
    tfrom TIME,
    tto   TIME
);

-- Exactly eight rows, one per reader port.
CREATE TABLE reader (
    PORTNO   INTEGER NOT NULL,          -- 1..8
    ENABLE   BOOLEAN NOT NULL DEFAULT 0,
    OUTPORT  INTEGER NOT NULL DEFAULT 0, -- port whose door this reader opens; 0 none
    BPPORT   INTEGER NOT NULL DEFAULT 0, -- port whose door the exit button opens; 0 none
    MODE     INTEGER NOT NULL DEFAULT 0, -- 0 CLOCK, 1 IN, 2 OUT
    DESC     NVARCHAR(50),              -- shown instead of the port name
    LOCKTIME INTEGER NOT NULL DEFAULT 1, -- seconds the door stays open
    MODEL    INTEGER NOT NULL DEFAULT 0, -- 0 MV series, other DL series
    APB      BOOLEAN NOT NULL DEFAULT 0, -- anti-passback at this door
    CAPTURE  BOOLEAN NOT NULL DEFAULT 0, -- snapshot on each swipe
    MOTION   INTEGER NOT NULL DEFAULT -1 -- -1 none, 0 one capture, n every n seconds
);

-- Anti-passback state: the mode of each card's last accepted pass.
CREATE TABLE apb (
    CARDNO INTEGER NOT NULL DEFAULT 0,
    STATE  INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX apb_cardno ON apb (CARDNO);

-- Outgoing e-mail queue, sent in SEQ order.
CREATE TABLE emails (
    SEQ    INTEGER PRIMARY KEY AUTOINCREMENT,
    TITLE  TEXT,
    MSG    TEXT,
    ATTACH TEXT            -- snapshot file to attach, may be empty
);

-- Administrator password: one row, or none when no password is registered.
CREATE TABLE passwd (
    PASSWORD TEXT          -- scrambled, two characters per password character
);

-- The cards for the readers' offline access table, with their work group in "gid".
CREATE VIEW offline AS
    SELECT CARDNO, NAME, WORKGRP AS gid, OFFLINE FROM staffs;

INSERT INTO reader (PORTNO, ENABLE, OUTPORT, BPPORT, MODE, DESC, LOCKTIME, MODEL, APB, CAPTURE, MOTION)
VALUES (1, 0, 1, 1, 0, 'COM1', 1, 0, 0, 0, -1),
       (2, 0, 2, 2, 0, 'COM2', 1, 0, 0, 0, -1),
       (3, 0, 3, 3, 0, 'COM3', 1, 0, 0, 0, -1),
       (4, 0, 4, 4, 0, 'COM4', 1, 0, 0, 0, -1),
       (5, 0, 5, 5, 0, 'COM5', 1, 0, 0, 0, -1),
       (6, 0, 6, 6, 0, 'COM6', 1, 0, 0, 0, -1),
       (7, 0, 7, 7, 0, 'COM7', 1, 0, 0, 0, -1),
       (8, 0, 8, 8, 0, 'COM8', 1, 0, 0, 0, -1);

INSERT INTO gid (ID, DESCX, WD_FROM_1, WD_TO_1, WD_FROM_2, WD_TO_2, SAT_ENABLE_1, SAT_ENABLE_2,
                 SAT_FROM_1, SAT_TO_1, SAT_FROM_2, SAT_TO_2, OT_MIN, OT_MULTI)
VALUES (1, 'DEFAULT', '09:00:00', '13:00:00', '14:00:00', '18:00:00', 0, 0,
        '09:00:00', '13:00:00', '14:00:00', '18:00:00', 0, 1);

COMMIT;
