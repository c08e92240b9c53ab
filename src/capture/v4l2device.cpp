#include "capture/v4l2device.h"

#include <QMap>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

V4l2Opener g_opener;

int xioctl(int fd, unsigned long request, void *arg)
{
    int r;
    do {
        r = ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

QString nameOf(const __u8 *name, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(name),
                             int(strnlen(reinterpret_cast<const char *>(name), size)));
}

// The device node, open for as long as the object lives.
class TV4l2DeviceFile final : public IV4l2Device
{
public:
    explicit TV4l2DeviceFile(int fd) : m_fd(fd) {}
    ~TV4l2DeviceFile() override { ::close(m_fd); }
    TV4l2DeviceFile(const TV4l2DeviceFile &) = delete;
    TV4l2DeviceFile &operator=(const TV4l2DeviceFile &) = delete;

    QList<TV4l2Control> Controls() override
    {
        QList<TV4l2Control> list;
        v4l2_queryctrl q{};
        q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
        while (xioctl(m_fd, VIDIOC_QUERYCTRL, &q) == 0) {
            const unsigned id = q.id;
            q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
            if (q.flags & V4L2_CTRL_FLAG_DISABLED)
                continue;
            if (q.type == V4L2_CTRL_TYPE_CTRL_CLASS) {
                m_classNames[V4L2_CTRL_ID2CLASS(id)] = nameOf(q.name, sizeof q.name);
                continue;
            }
            TV4l2Control c;
            switch (q.type) {
            case V4L2_CTRL_TYPE_INTEGER:
                c.Type = TV4l2ControlType::Integer;
                break;
            case V4L2_CTRL_TYPE_BOOLEAN:
                c.Type = TV4l2ControlType::Boolean;
                break;
            case V4L2_CTRL_TYPE_MENU:
                c.Type = TV4l2ControlType::Menu;
                break;
            case V4L2_CTRL_TYPE_BUTTON:
                c.Type = TV4l2ControlType::Button;
                break;
            default:
                continue; // 64-bit, string and compound controls have no place in the dialog
            }
            c.Id = id;
            c.ClassId = V4L2_CTRL_ID2CLASS(id);
            c.Name = nameOf(q.name, sizeof q.name);
            c.Minimum = q.minimum;
            c.Maximum = q.maximum;
            c.Step = q.step > 0 ? q.step : 1;
            c.Default = q.default_value;
            c.ReadOnly = (q.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_INACTIVE |
                                     V4L2_CTRL_FLAG_GRABBED)) != 0;
            v4l2_control value{};
            value.id = id;
            c.Value = xioctl(m_fd, VIDIOC_G_CTRL, &value) == 0 ? value.value : c.Default;
            if (c.Type == TV4l2ControlType::Menu)
                for (int i = c.Minimum; i <= c.Maximum; ++i) {
                    v4l2_querymenu m{};
                    m.id = id;
                    m.index = unsigned(i);
                    if (xioctl(m_fd, VIDIOC_QUERYMENU, &m) == 0)
                        c.Menu.append({i, nameOf(m.name, sizeof m.name)});
                }
            list.append(c);
        }
        return list;
    }

    QString ClassName(unsigned classId) override { return m_classNames.value(classId); }

    bool SetControl(unsigned id, int value) override
    {
        v4l2_control c{};
        c.id = id;
        c.value = value;
        return xioctl(m_fd, VIDIOC_S_CTRL, &c) == 0;
    }

private:
    int m_fd;
    QMap<unsigned, QString> m_classNames;
};

} // namespace

std::unique_ptr<IV4l2Device> OpenV4l2Device(const QString &node)
{
    if (node.isEmpty())
        return nullptr;
    const int fd = ::open(node.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    v4l2_capability cap{};
    if (xioctl(fd, VIDIOC_QUERYCAP, &cap) != 0) {
        ::close(fd);
        return nullptr; // not a V4L2 device
    }
    return std::make_unique<TV4l2DeviceFile>(fd);
}

V4l2Opener SetV4l2Opener(V4l2Opener opener)
{
    V4l2Opener previous = std::move(g_opener);
    g_opener = std::move(opener);
    return previous;
}

std::unique_ptr<IV4l2Device> OpenV4l2DeviceNode(const QString &node)
{
    return g_opener ? g_opener(node) : OpenV4l2Device(node);
}
