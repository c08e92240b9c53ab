-- Attendance log database (attend.db). The build turns this file into the template
-- attend-b.db; "format database" copies the template over the live file.
-- Date-times are text "YYYY-MM-DD HH:MM:SS" in local time, whole seconds.

PRAGMA application_id = 1413693780; -- "TCAT": only attendance files carry it
PRAGMA user_version = 1;            -- schema version

BEGIN;

-- One row per card swipe, exit-button press or motion capture.
CREATE TABLE recorder (
    SYSTIME DATETIME,                 -- moment of the event
    CARDNO  INTEGER NOT NULL DEFAULT 0, -- card number; -1 for exit-button and motion rows
    MODE    INTEGER NOT NULL DEFAULT 0, -- 0 CLOCK, 1 IN, 2 OUT
    READER  INTEGER NOT NULL DEFAULT 0, -- port 1..8 of the reader that reported it
    LOCK    INTEGER NOT NULL DEFAULT 0  -- port whose door opened; 0 none
);

-- The log is always read in time order, per card in time order, and imports look rows up
-- by time and card.
CREATE INDEX recorder_systime ON recorder (SYSTIME);
CREATE INDEX recorder_cardno_systime ON recorder (CARDNO, SYSTIME);

COMMIT;
