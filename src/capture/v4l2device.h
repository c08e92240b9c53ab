#pragma once
// A camera's V4L2 controls (brightness, exposure, power-line frequency ...), read and set
// through the device node, behind a small interface so that the controls dialog runs over a
// fake in tests. GUI thread only.

#include <QList>
#include <QString>

#include <functional>
#include <memory>

enum class TV4l2ControlType
{
    Integer,
    Boolean,
    Menu,
    Button,
};

struct TV4l2MenuItem
{
    int Index = 0;
    QString Name;
};

struct TV4l2Control
{
    unsigned Id = 0;
    unsigned ClassId = 0; // the control class it belongs to (user, camera, ...)
    QString Name;
    TV4l2ControlType Type = TV4l2ControlType::Integer;
    int Minimum = 0;
    int Maximum = 0;
    int Step = 1;
    int Default = 0;
    int Value = 0;
    bool ReadOnly = false; // read-only, or inactive while another control rules it
    QList<TV4l2MenuItem> Menu;
};

class IV4l2Device
{
public:
    virtual ~IV4l2Device() = default;
    // The controls the device offers, in the driver's order, of the kinds the dialog shows.
    virtual QList<TV4l2Control> Controls() = 0;
    // The title of a control class as the driver names it (empty when it names none).
    virtual QString ClassName(unsigned classId) = 0;
    virtual bool SetControl(unsigned id, int value) = 0;
};

// Opens a device node; null when it cannot be opened.
using V4l2Opener = std::function<std::unique_ptr<IV4l2Device>(const QString &node)>;
std::unique_ptr<IV4l2Device> OpenV4l2Device(const QString &node);
// Installs an opener (empty: the real device again) and returns the one it replaces.
V4l2Opener SetV4l2Opener(V4l2Opener opener);
// The opener in use.
std::unique_ptr<IV4l2Device> OpenV4l2DeviceNode(const QString &node);
