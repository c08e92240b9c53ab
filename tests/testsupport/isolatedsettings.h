#pragma once
// Points the program's settings and standard paths at a folder of the run's own, so a test
// or benchmark run never reads or writes the user's. Call once in main, before the
// application object; the folder must outlive the run.

class QTemporaryDir;

void IsolateSettings(const QTemporaryDir &folder);
