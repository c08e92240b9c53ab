#pragma once
// Where the program and its data live. Set once at start-up on the main thread; read
// from anywhere afterwards.

#include <QFileDevice>
#include <QString>

// Folder of the executable: templates and locale/ (read-only resources).
extern QString AppPath;
// Folder of everything the program writes: the databases, photos/, card images, exports.
extern QString DataPath;
// Snapshot folder, "photos" under DataPath.
extern QString PhotoPath;

// The data folder: $TALLYCLOCK_DATA; else the executable's folder when it is writable
// (a build or portable folder); else the user's data folder.
QString ResolveDataPath(const QString &appPath);

// Sets AppPath, DataPath and PhotoPath from the executable's folder.
void InitPaths(const QString &appPath);

// The modes of what the program makes in the data folder: its user's alone.
inline constexpr QFileDevice::Permissions OwnerOnlyFile = QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner;
inline constexpr QFileDevice::Permissions OwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Makes the data folder (its user's alone when it is made here) and puts a live copy of each
// template into it (its user's alone) when the live file is missing. Returns false with a reason when the folder or a copy cannot be made;
// an existing live file is never touched.
bool PrepareDataFolder(const QString &appPath, const QString &dataPath, QString *error);
